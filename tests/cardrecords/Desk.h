#pragma once

// Another front desk: the card-issue-worker program on the same lock database,
// and what it said about each card it issued.

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QtTest>

class Desk {
public:
    // Starts `card-issue-worker OPTIONS DATABASE JOBS` (see worker.cpp).
    Desk(const QString& database, const QStringList& jobs, const QStringList& options = {}) {
        process_.start(QStringLiteral(QV_WORKER), options + QStringList{database} + jobs);
    }
    ~Desk() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    QProcess& process() { return process_; }
    bool running() const { return process_.state() != QProcess::NotRunning; }

    // Waits until the desk has printed a line starting with `prefix` (e.g.
    // "writing room:1203"); the rest of that line, or a null text.
    QString waitFor(const QString& prefix, int ms = 30000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            read();
            for (const QString& line : lines_) {
                if (line.startsWith(prefix)) {
                    return line.mid(prefix.size()).trimmed();
                }
            }
            if (!running() && process_.bytesAvailable() == 0) {
                break;
            }
            process_.waitForReadyRead(50);
        }
        return QString();
    }
    // Waits for the end; true when the desk ended normally with code 0.
    bool finish(int ms = 60000) {
        const bool ended = process_.waitForFinished(ms);
        read();
        error_ += QString::fromUtf8(process_.readAllStandardError());
        return ended && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    QString errors() const { return error_; }

    // The serials of the lines "<what> <job> <serial>" (what: writing, issued, refused).
    QList<qint64> serials(const QString& what, const QString& job) {
        read();
        QList<qint64> out;
        const QString prefix = what + ' ' + job + ' ';
        for (const QString& line : lines_) {
            if (line.startsWith(prefix)) {
                out << line.mid(prefix.size()).toLongLong();
            }
        }
        return out;
    }

private:
    void read() {
        buffer_ += process_.readAllStandardOutput();
        qsizetype end;
        while ((end = buffer_.indexOf('\n')) >= 0) {
            lines_ << QString::fromUtf8(buffer_.left(end));
            buffer_.remove(0, end + 1);
        }
    }

    QProcess process_;
    QByteArray buffer_;
    QStringList lines_;
    QString error_;
};
