#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

// A fresh program folder for one test: AppPaths points at a temporary
// directory (with db/), and the clock is the system's again when it ends.
class TempAppDir {
public:
    TempAppDir();
    ~TempAppDir();
    TempAppDir(const TempAppDir&) = delete;
    TempAppDir& operator=(const TempAppDir&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const;
    // Writes `text` (UTF-8) to a file below the folder.
    void write(const QString& relative, const QByteArray& text) const;
    QByteArray read(const QString& relative) const;

private:
    QTemporaryDir dir_;
};

class QWidget;
// Saves a picture of `widget` as <QV_SCREENSHOT_DIR>/<name>.png when that
// variable is set, so that a window can be looked at after a test run.
void saveScreenshot(QWidget* widget, const QString& name);

// The PostgreSQL server the test script started on loopback, or empty host
// when none was given (QV_PG_HOST, QV_PG_PORT, QV_PG_USER, QV_PG_PASSWORD).
struct PgServer {
    QString host;
    int port = 5432;
    QString user;
    QString password;
    bool available() const { return !host.isEmpty(); }
    QString hostAndPort() const { return host + ':' + QString::number(port); }
    static PgServer fromEnvironment();
    // Drops and creates `database` on the server (fails the test on error).
    void recreateDatabase(const QString& database) const;
    // Runs one statement on the server's "postgres" database as the test's
    // user, who owns the cluster (fails the test on error).
    void admin(const QString& sql) const;
};

// Skips nothing: without a server the calling test fails with a clear message.
#define QV_REQUIRE_PG(server)                                                                    \
    do {                                                                                         \
        if (!(server).available())                                                               \
            QFAIL("no PostgreSQL server: set QV_PG_HOST (scripts/test starts one on loopback)"); \
    } while (0)

// Runs `fill` on the next modal window of type D as soon as it is shown (for
// windows and boxes that a handler opens with exec()). When none appears
// within `timeoutMs`, the timer stops with a warning naming the window and
// `*missed` (when given) is set, so that the case fails clearly instead of
// leaving a timer running into the next one.
template <class D>
void whenShown(std::function<void(D*)> fill, int timeoutMs = 5000, bool* missed = nullptr) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, fill, timeoutMs, missed] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            fill(d);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            if (missed) {
                *missed = true;
            }
            qWarning("whenShown: no %s was shown within %d ms", D::staticMetaObject.className(),
                     timeoutMs);
        }
    });
    timer->start();
}
