#pragma once

#include <QApplication>

namespace qv {

// The application object: every event is delivered through the handler guard,
// so an exception thrown by any handler shows the default error box instead of
// ending the program.
class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace qv
