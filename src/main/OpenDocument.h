#pragma once

#include <QUrl>
#include <functional>

namespace qv {

// Hands a document to the desktop ("open" it with the program the desktop
// associates with it). The program uses QDesktopServices; tests install an
// opener of their own to see the URL without starting a browser.
using DocumentOpener = std::function<bool(const QUrl&)>;

bool openDocument(const QUrl& url);
// Installs `opener` (an empty one restores the desktop's) and returns the previous one.
DocumentOpener setDocumentOpener(DocumentOpener opener);

}  // namespace qv
