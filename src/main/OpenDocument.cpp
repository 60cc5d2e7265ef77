#include "main/OpenDocument.h"

#include <QDesktopServices>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <utility>

namespace qv {
namespace {

DocumentOpener& installed() {
    static DocumentOpener opener;
    return opener;
}

// xdg-open, watched: it ends with 0 once the document's program has taken
// it over (or goes on running as that program); any other end is a failure.
void openWithXdgOpen(const QString& xdgOpen, const QUrl& url, std::function<void()> failed) {
    // Not owned by a window: a browser that xdg-open becomes outlives the
    // window that asked for it. The process object frees itself at the end.
    auto* process = new QProcess;
    process->setProgram(xdgOpen);
    process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString()});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto report = [failed = std::move(failed)] {
        if (failed) {
            failed();
        }
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, report](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0) {
                             report();
                         }
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, report](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             report();
                             process->deleteLater();
                         }
                     });
    process->start();
}

}  // namespace

void openDocument(const QUrl& url, std::function<void()> failed) {
    if (const DocumentOpener& opener = installed()) {
        if (!opener(url) && failed) {
            failed();
        }
        return;
    }
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) {
        openWithXdgOpen(xdgOpen, url, std::move(failed));
        return;
    }
    if (!QDesktopServices::openUrl(url) && failed) {
        failed();
    }
}

DocumentOpener setDocumentOpener(DocumentOpener opener) {
    return std::exchange(installed(), std::move(opener));
}

}  // namespace qv
