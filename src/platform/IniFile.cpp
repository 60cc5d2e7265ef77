#include "platform/IniFile.h"

#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringDecoder>

namespace qv {
namespace {

// "[name] ; comment" gives "name"; anything else gives a null string.
QString sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith('[')) {
        return {};
    }
    const qsizetype close = t.indexOf(']');
    if (close < 0) {
        return {};
    }
    return t.mid(1, close - 1).trimmed();
}

bool isComment(const QString& trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// The key of a "key=value" line, or a null string.
QString keyOf(const QString& line) {
    const QString t = line.trimmed();
    if (t.isEmpty() || isComment(t)) {
        return {};
    }
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0) {
        return {};
    }
    return t.left(eq).trimmed();
}

QString valueOf(const QString& line) {
    QString v = line.mid(line.indexOf('=') + 1).trimmed();
    if (v.size() >= 2 &&
        ((v.startsWith('"') && v.endsWith('"')) || (v.startsWith('\'') && v.endsWith('\'')))) {
        v = v.mid(1, v.size() - 2);
    }
    return v;
}

}  // namespace

IniFile::IniFile(const QString& path) : path_(path) {
    reload();
}

namespace {

// One line of the file as text. Lines that are not UTF-8 come from an older
// file written in the workstation's Chinese code page; they are read as such
// (or byte for byte when that code page is unknown) and never rewritten.
QString decodeLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    QStringDecoder local("GB18030");
    if (local.isValid()) {
        const QString t = local.decode(bytes);
        if (!local.hasError()) {
            return t;
        }
    }
    return QString::fromLatin1(bytes);
}

}  // namespace

void IniFile::reload() {
    lines_.clear();
    raw_.clear();
    bom_ = false;
    eol_ = QStringLiteral("\n");
    QFile f(path_);
    exists_ = f.exists();
    if (!f.open(QIODevice::ReadOnly)) {
        return;
    }
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bom_ = true;
        bytes.remove(0, 3);
    }
    if (bytes.contains("\r\n")) {
        eol_ = QStringLiteral("\r\n");
    }
    raw_ = bytes.split('\n');
    if (!raw_.isEmpty() && raw_.last().isEmpty()) {
        raw_.removeLast();
    }
    for (QByteArray& line : raw_) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        lines_.append(decodeLine(line));
    }
}

IniFile::Position IniFile::find(const QString& section, const QString& key) const {
    Position pos;
    bool inSection = false;
    for (int i = 0; i < lines_.size(); ++i) {
        const QString name = sectionName(lines_[i]);
        if (!name.isNull()) {
            if (inSection) {
                break;  // end of the first matching section
            }
            if (name.compare(section, Qt::CaseInsensitive) == 0) {
                inSection = true;
                pos.sectionLine = i;
                pos.insertAt = i + 1;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        const QString k = keyOf(lines_[i]);
        if (k.isNull()) {
            if (!lines_[i].trimmed().isEmpty()) {
                pos.insertAt = i + 1;  // keep new keys after comments of the section
            }
            continue;
        }
        pos.insertAt = i + 1;
        if (pos.keyLine < 0 && k.compare(key, Qt::CaseInsensitive) == 0) {
            pos.keyLine = i;
        }
    }
    return pos;
}

bool IniFile::hasKey(const QString& section, const QString& key) const {
    return find(section, key).keyLine >= 0;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const Position pos = find(section, key);
    return pos.keyLine < 0 ? def : valueOf(lines_[pos.keyLine]);
}

bool IniFile::parseInteger(const QString& text, int& value) {
    const QString t = text.trimmed();
    bool ok = false;
    int v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        // Hexadecimal keys hold bit patterns: 0xFFFFFFFF is -1, as on Windows.
        const uint u = digits.isEmpty() || digits.startsWith('+') || digits.startsWith('-')
                           ? 0u
                           : digits.toUInt(&ok, 16);
        v = static_cast<int>(u);
    } else {
        v = t.toInt(&ok, 10);
    }
    if (ok) {
        value = v;
    }
    return ok;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    int v = def;
    return parseInteger(readString(section, key, QString()), v) ? v : def;
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QTime IniFile::parseTime(const QString& text) {
    const QString t = text.trimmed();
    for (const char* format : {"H:mm:ss", "H:mm"}) {
        const QTime time = QTime::fromString(t, QLatin1String(format));
        if (time.isValid()) {
            return time;
        }
    }
    return {};
}

QTime IniFile::readTime(const QString& section, const QString& key, const QTime& def) const {
    const QTime t = parseTime(readString(section, key, QString()));
    return t.isValid() ? t : def;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString line = key + '=' + value;
    const Position pos = find(section, key);
    auto put = [this](int at, const QString& text) {
        lines_.insert(at, text);
        raw_.insert(at, text.toUtf8());
    };
    if (pos.keyLine >= 0) {
        lines_[pos.keyLine] = line;
        raw_[pos.keyLine] = line.toUtf8();
    } else if (pos.sectionLine >= 0) {
        put(pos.insertAt, line);
    } else {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty()) {
            put(static_cast<int>(lines_.size()), QString());
        }
        put(static_cast<int>(lines_.size()), '[' + section + ']');
        put(static_cast<int>(lines_.size()), line);
    }
    save();
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeTime(const QString& section, const QString& key, const QTime& value) {
    writeString(section, key, value.toString(QStringLiteral("HH:mm:ss")));
}

void IniFile::save() {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const bool created = !QFileInfo::exists(path_);
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly)) {
        throw Error(
            qv::programText(QStringLiteral("无法写入配置文件 %1：%2")).arg(path_, f.errorString()));
    }
    if (created) {
        // A settings file may hold the database server's password: a new one
        // is for the desk's user and group only. An existing file keeps its mode.
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::WriteGroup);
    }
    QByteArray bytes;
    if (bom_) {
        bytes = "\xEF\xBB\xBF";
    }
    const QByteArray eol = eol_.toLatin1();
    for (const QByteArray& line : raw_) {
        bytes += line + eol;
    }
    f.write(bytes);
    if (!f.commit()) {
        throw Error(
            qv::programText(QStringLiteral("无法写入配置文件 %1：%2")).arg(path_, f.errorString()));
    }
    exists_ = true;
}

}  // namespace qv
