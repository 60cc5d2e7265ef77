// What printing a long list costs in memory and time:
//   bench_print [ROWS]   (default 200000)
// The door-opening records window lists ROWS records of one room and prints
// them: the question is answered OK, the rows are read for the print library
// and its print window is shown, left to draw its first pages, and closed.
// Printed: the process's resident memory when the list is shown, its peak
// while printing and what is left once the print window closed, against the
// targets (peak below 300 MB for 200,000 rows; within 20 MB of the start
// afterwards), and the time until the print window was shown.
#include "cards/OpenDoorRecord_Unit.h"
#include "data/dm_unit.h"
#include "platform/AppPaths.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <sqlite3.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "SqliteBench.h"

namespace {

// Resident memory (VmRSS) or its peak (VmHWM) in MB.
double memoryMb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<int>(qstrlen(field)))
                       .trimmed()
                       .split(' ')
                       .first()
                       .toDouble() /
                   1024.0;
        }
    }
    return 0;
}

// Starts counting the peak afresh from the current resident memory.
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write("5");
    }
}

void addOpenings(const QString& path, int count) {
    Generator g(path);
    sqlite3_stmt* st = g.prepare(
        "insert into OpenDoorRecord (RoomStr, Rom, OpenTime, CardType, CardTypeStr, "
        "CardHolderStr, MakeName) values ('1203', ?, ?, 4, '宾客卡', ?, '前台一')");
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i) {
        const QByteArray rom = QByteArray::number(0x10000000 + i, 16).toUpper();
        const QByteArray time =
            start.addSecs(600LL * i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        const QByteArray holder = QStringLiteral("客人%1").arg(i % 5000).toUtf8();
        sqlite3_bind_text(st, 1, rom.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, time.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, holder.constData(), -1, SQLITE_TRANSIENT);
        g.step(st);
    }
    sqlite3_finalize(st);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(100, std::atoi(argv[1])) : 200000;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("db"));
    // The print library of the build tree, found beside the program as usual.
    QDir(dir.path()).mkpath(QStringLiteral("Dll"));
    QFile::link(QStringLiteral(QV_PRINT_LIBRARY), dir.filePath(QStringLiteral("Dll/libPrint.so")));
    qv::AppPaths::setDir(dir.path());
    qv::TestDialogs boxes;  // the question before a long list is answered OK
    Tdm module;
    dm = &module;
    const QString path = dir.filePath(QStringLiteral("db/lock.db"));
    module.conn.openSQLite(path, true);
    module.conn.createSchema();
    addOpenings(path, rows);

    TOpenDoorRecord_Form window;
    window.show();
    window.Room_Edit->setText(QStringLiteral("1203"));
    window.Query_Bt->click();
    QCoreApplication::processEvents();
    const double start = memoryMb("VmRSS:");
    resetPeak();

    QElapsedTimer clock;
    clock.start();
    double shownMs = -1;
    double whileShown = 0;
    QTimer closer;
    closer.setInterval(50);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("PrintPreview_Form")) {
            return;
        }
        if (shownMs < 0) {
            shownMs = clock.nsecsElapsed() / 1e6;
            return;  // one more turn: its first pages are drawn
        }
        whileShown = memoryMb("VmRSS:");
        closer.stop();
        modal->close();
    });
    closer.start();
    window.Print_Bt->click();
    const double total = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    const double peak = memoryMb("VmHWM:");
    const double after = memoryMb("VmRSS:");

    std::printf("rows printed                 %10d\n", rows);
    std::printf("question asked               %10s\n",
                boxes.boxes().isEmpty() ? "no" : qPrintable(QString::number(boxes.boxes().size())));
    std::printf("print window shown after     %10.1f ms (closed after %.1f ms)\n", shownMs, total);
    std::printf("memory when the list shows   %10.1f MB\n", start);
    std::printf("memory with the print window %10.1f MB\n", whileShown);
    std::printf("peak while printing          %10.1f MB (target < 300 MB for 200,000 rows)\n",
                peak);
    std::printf("memory after it closed       %10.1f MB (%+.1f MB; target within 20 MB)\n", after,
                after - start);
    std::printf("peak per 1,000 rows          %10.2f MB above the start\n",
                (peak - start) / (rows / 1000.0));
    return shownMs < 0 ? 1 : 0;
}
