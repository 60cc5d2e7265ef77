#include "app/MainWindowFactory.h"

#include "main/Main.h"
#include "platform/Application.h"

// The main window after a successful logon: maximised, the room board of the
// whole hotel. Its creation may already have asked the program to end (an
// encoder of another hotel, an operator without a row); the caller checks.
QWidget* CreateMainWindow() {
    auto* window = new TMainForm;
    if (!qv::terminateRequested()) {
        window->showMaximized();
    }
    return window;
}
