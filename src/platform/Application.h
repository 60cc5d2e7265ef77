#pragma once

#include <QString>

namespace qv {

// The program's name and version as the windows show it: "Quorvane V18.0".
QString productTitle();

// The application's title (productTitle() unless set): caption of the default
// error box and of plain messages.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// Asks the event loop to end once the current handler has returned. The
// request is remembered so that start-up code and tests can see it.
void requestTerminate();
bool terminateRequested();
void clearTerminateRequest();

}  // namespace qv
