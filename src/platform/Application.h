#pragma once

#include <QString>

namespace qv {

// The application's title ("Quorvane V18.0"): caption of the default error box
// and of plain messages.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// Asks the event loop to end once the current handler has returned. The
// request is remembered so that start-up code and tests can see it.
void requestTerminate();
bool terminateRequested();
void clearTerminateRequest();

}  // namespace qv
