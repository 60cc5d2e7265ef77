#pragma once

// For start-up measurements: when the environment variable
// QV_FIRST_PAINT_EXIT is set, a window given to exitAfterFirstPaint() writes
// one line "first-paint WALL CPU" to the standard output once its first
// paint is done (WALL: the steady clock in nanoseconds, the same clock in
// every process of the machine; CPU: the process's processor time in
// nanoseconds) and then closes, which ends a program whose last window it is.
// Without the variable nothing happens. Header only: it needs Qt Widgets
// and nothing of the program.

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace qv {

class FirstPaintExit final : public QObject {
public:
    explicit FirstPaintExit(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Runs once this paint (and its flush to the screen) is over.
            QTimer::singleShot(0, window_, [window = window_] {
                timespec cpu{};
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
                const long long wall = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                           std::chrono::steady_clock::now().time_since_epoch())
                                           .count();
                std::printf("first-paint %lld %lld\n", wall,
                            static_cast<long long>(cpu.tv_sec) * 1000000000LL + cpu.tv_nsec);
                std::fflush(stdout);
                window->close();
            });
        }
        return false;
    }

private:
    QWidget* window_;
    bool seen_ = false;
};

inline void exitAfterFirstPaint(QWidget* window) {
    if (qEnvironmentVariableIsSet("QV_FIRST_PAINT_EXIT")) {
        new FirstPaintExit(window);
    }
}

}  // namespace qv
