#pragma once

#include <QUrl>
#include <functional>

namespace qv {

// Hands a document to the desktop ("open" it with the program the desktop
// associates with it). On a desktop with xdg-open the program runs it and
// watches its answer: xdg-open ends with an error when no program is set up
// for the document (no browser configured), which a plain QDesktopServices
// call does not report. Tests install an opener of their own to see the URL
// without starting a browser.
using DocumentOpener = std::function<bool(const QUrl&)>;

// Opens `url` on the desktop; `failed` runs when the desktop cannot open it,
// at once or later from the event loop (when xdg-open has answered).
void openDocument(const QUrl& url, std::function<void()> failed = {});
// Installs `opener` (an empty one restores the desktop's) and returns the
// previous one. An opener that returns false has failed.
DocumentOpener setDocumentOpener(DocumentOpener opener);

}  // namespace qv
