#include "main/OpenDocument.h"

#include <QDesktopServices>
#include <utility>

namespace qv {
namespace {
DocumentOpener& installed() {
    static DocumentOpener opener;
    return opener;
}
}  // namespace

bool openDocument(const QUrl& url) {
    const DocumentOpener& opener = installed();
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

DocumentOpener setDocumentOpener(DocumentOpener opener) {
    return std::exchange(installed(), std::move(opener));
}

}  // namespace qv
