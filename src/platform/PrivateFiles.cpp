#include "platform/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {

constexpr mode_t kPrivateMode = S_IRUSR | S_IWUSR | S_IRGRP;

const QRegularExpression& workFileName() {
    static const QRegularExpression re(
        QStringLiteral("^\\..+\\.(\\d+)-[0-9a-f]{8}\\.qvpart(-journal|-wal|-shm)?$"));
    return re;
}

bool processRuns(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

QFileDevice::Permissions privateFilePermissions() {
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
}

bool createPrivateFile(const QString& path, QString* error) {
    // The mode is given at creation (the umask can only take bits away) and
    // set once more, so that a group-writable umask does not widen it.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateMode);
    if (fd < 0) {
        if (error) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
        }
        return false;
    }
    const bool ok = ::fchmod(fd, kPrivateMode) == 0;
    if (!ok && error) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ::close(fd);
    if (!ok) {
        QFile::remove(path);
    }
    return ok;
}

bool makePrivate(QFileDevice& file) {
    return file.setPermissions(privateFilePermissions());
}

QString workFileBeside(const QString& target) {
    const QFileInfo info(target);
    return info.absoluteDir().filePath(
        QStringLiteral(".%1.%2-%3.qvpart")
            .arg(info.fileName())
            .arg(QCoreApplication::applicationPid())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

QStringList removeLeftoverWorkFiles(const QString& folder) {
    QStringList removed;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        return removed;
    }
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList names = dir.entryList(QStringList{QStringLiteral(".*.qvpart*")},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = workFileName().match(name);
        if (!m.hasMatch()) {
            continue;
        }
        const qint64 pid = m.captured(1).toLongLong();
        if ((pid == self || !processRuns(pid)) && QFile::remove(dir.filePath(name))) {
            removed << name;
        }
    }
    return removed;
}

}  // namespace qv
