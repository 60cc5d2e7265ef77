#include "app/MainWindowFactory.h"

#include "app/Settings.h"
#include "platform/Application.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

// Until the room board exists, the logged-on operator gets a plain window
// with the program's title and the operator's name.
QWidget* CreateMainWindow()
{
    auto* window = new QMainWindow;
    window->setObjectName(QStringLiteral("MainForm"));
    window->setWindowTitle(qv::applicationTitle());
    auto* label = new QLabel(QStringLiteral("操作员：%1（%2）")
                                 .arg(LockSystemInfo.StafferName, LockSystemInfo.Staffer),
                             window);
    label->setObjectName(QStringLiteral("Operator_Label"));
    label->setAlignment(Qt::AlignCenter);
    window->setCentralWidget(label);
    window->statusBar()->showMessage(LockSystemInfo.StafferName);
    window->resize(800, 600);
    window->showMaximized();
    return window;
}
