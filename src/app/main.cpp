// Program entry: the application, the data module, start-up and the main window.
#include "app/MainWindowFactory.h"
#include "app/StartUp.h"
#include "data/Operators.h"
#include "data/dm_unit.h"
#include "platform/Application.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/GuardedApplication.h"
#include "platform/QtDialogs.h"

#include <QFont>
#include <QWidget>

int main(int argc, char** argv) {
    qv::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    // The menu entry whose name and icon the desktop shows for the windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorvane.Quorvane"));
    qv::setApplicationTitle(qv::productTitle());
    QFont font = QApplication::font();
    font.setFamilies(qv::installedFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                                            QStringLiteral("Noto Sans CJK SC"), font.family()}));
    QApplication::setFont(font);

    qv::QtDialogs dialogs;
    qv::setDialogs(&dialogs);

    Tdm module;
    dm = &module;

    int result = 0;
    if (StartUp()) {
        QWidget* mainWindow = CreateMainWindow();
        if (mainWindow && !qv::terminateRequested()) {
            result = QApplication::exec();
        }
        delete mainWindow;
        // The logoff in the operations log; a database gone by now loses only that row.
        qv::guarded([] { qv::logOff(); });
    }
    dm = nullptr;
    qv::setDialogs(nullptr);
    return result;
}
