#pragma once

class QWidget;

// Creates and shows the main window after a successful logon; the caller owns it.
QWidget* CreateMainWindow();
