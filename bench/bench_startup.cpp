// What the clerk waits for at start-up: from starting the program to its
// painted logon window, against a bare Qt dialog with two line edits built
// with the same flags:
//   bench_startup [ROUNDS [PROGRAM]]   (default 10, the program of this build)
// The program runs from a folder of its own (a copy of the executable and a
// lock database with one operator). Each round starts both, one after the
// other (in turn first), as new processes; each reports its first paint
// (QV_FIRST_PAINT_EXIT) on the steady clock and its processor time then.
// Prints median and spread (lowest .. highest) of the wall time from start to
// first paint, of the processor time, and of the ratios of each round. The
// same dialog with Chinese labels runs in each round too: the logon window's
// Chinese text needs a CJK face, which costs a Latin-only dialog nothing, and
// the ratio to that dialog shows what is left once both load one.
#include "data/Connection.h"
#include "data/dm_unit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

long long steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Start {
    double wallMs = 0;
    double cpuMs = 0;
};

// Starts `program` in `folder` and waits for its first paint.
Start startOnce(const QString& program, const QString& folder, const QStringList& args = {}) {
    QProcess p;
    p.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QV_FIRST_PAINT_EXIT"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    const long long started = steadyNow();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "%s did not end by itself: %s\n", qPrintable(program),
                     p.readAllStandardError().constData());
        std::exit(1);
    }
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() == 3 && words[0] == "first-paint") {
            return {(words[1].toLongLong() - started) / 1e6, words[2].toLongLong() / 1e6};
        }
    }
    std::fprintf(stderr, "%s never painted its window: %s\n", qPrintable(program),
                 p.readAllStandardError().constData());
    std::exit(1);
}

struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}
void printSpread(const char* what, const std::vector<double>& v, const char* unit,
                 const char* target = "") {
    const Spread s = spread(v);
    std::printf("%-32s median %8.2f%s  (%.2f .. %.2f)%s\n", what, s.median, unit, s.low, s.high,
                target);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // The program's folder: the executable and a lock database with an
    // operator (the logon window, not the first-run one).
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("quorvane"));
    const QString built = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(QV_PROGRAM);
    if (!QFile::copy(built, program)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(built));
        return 1;
    }
    QDir(dir.path()).mkpath(QStringLiteral("db"));
    {
        qv::Connection conn;
        conn.openSQLite(dir.filePath(QStringLiteral("db/lock.db")), true);
        conn.createSchema();
        conn.execute(QStringLiteral("insert into Operator (Staffer, StafferName, Pass) "
                                    "values (:s, :n, :p)"),
                     {{QStringLiteral(":s"), QStringLiteral("desk")},
                      {QStringLiteral(":n"), QStringLiteral("前台")},
                      {QStringLiteral(":p"), QStringLiteral("secret")}});
    }
    const QString dialog = QStringLiteral(QV_DIALOG);

    const QStringList chinese{QStringLiteral("--chinese")};

    // One start of each, not counted, brings the files into the page cache.
    startOnce(program, dir.path());
    startOnce(dialog, dir.path());
    startOnce(dialog, dir.path(), chinese);
    std::vector<double> wall, cpu, bareWall, bareCpu, wallRatio, cpuRatio, cjkWall, cjkRatio;
    for (int r = 0; r < rounds; ++r) {
        // The three in turn, each round starting with another.
        Start a, b, c;
        const auto run = [&](int which) {
            switch (which) {
                case 0:
                    a = startOnce(program, dir.path());
                    break;
                case 1:
                    b = startOnce(dialog, dir.path());
                    break;
                default:
                    c = startOnce(dialog, dir.path(), chinese);
                    break;
            }
        };
        for (int i = 0; i < 3; ++i) {
            run((r + i) % 3);
        }
        wall.push_back(a.wallMs);
        cpu.push_back(a.cpuMs);
        bareWall.push_back(b.wallMs);
        bareCpu.push_back(b.cpuMs);
        cjkWall.push_back(c.wallMs);
        wallRatio.push_back(b.wallMs > 0 ? a.wallMs / b.wallMs : 0);
        cpuRatio.push_back(b.cpuMs > 0 ? a.cpuMs / b.cpuMs : 0);
        cjkRatio.push_back(c.wallMs > 0 ? a.wallMs / c.wallMs : 0);
    }
    std::printf("rounds %d, platform %s\n", rounds,
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
                    ? "default"
                    : qgetenv("QT_QPA_PLATFORM").constData());
    printSpread("logon window painted (wall)", wall, " ms");
    printSpread("bare dialog painted (wall)", bareWall, " ms");
    printSpread("logon / bare dialog (wall)", wallRatio, "", "  target <= 1.3");
    printSpread("logon window (processor)", cpu, " ms");
    printSpread("bare dialog (processor)", bareCpu, " ms");
    printSpread("logon / bare dialog (processor)", cpuRatio, "");
    printSpread("Chinese-labelled dialog (wall)", cjkWall, " ms");
    printSpread("logon / Chinese dialog (wall)", cjkRatio, "");
    return 0;
}
