// quorvane-notice TITLE TEXT: shows one error box and ends. The launcher uses
// it to explain, on the desktop, why the program cannot start.
#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: quorvane-notice TITLE TEXT\n");
        return 2;
    }
    qv::QtDialogs dialogs;
    qv::setDialogs(&dialogs);
    qv::messageBox(args.at(1), args.at(2), qv::Icon::Error);
    qv::setDialogs(nullptr);
    return 0;
}
