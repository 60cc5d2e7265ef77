#include "platform/GuardedApplication.h"

#include "platform/Guard.h"

namespace qv {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

}  // namespace qv
