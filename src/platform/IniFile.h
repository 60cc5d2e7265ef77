#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

namespace qv {

// A Windows INI file: [sections] of key=value lines. Sections and keys are
// matched without regard to case; the first occurrence counts. Reading never
// fails: a missing file, section or key, or a malformed value, yields the
// caller's default. Writing replaces or adds one key and saves the file at
// once, leaving every other line (comments, unknown keys, blank lines) exactly
// as it was, byte for byte. Text is UTF-8 (lines of an older file in the
// Chinese code page are read as such); a byte-order mark and CRLF line ends
// are kept.
class IniFile {
public:
    explicit IniFile(const QString& path);

    const QString& path() const { return path_; }
    bool exists() const { return exists_; }
    void reload();

    bool hasKey(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives `def`.
    int readInteger(const QString& section, const QString& key, int def) const;
    // Read as an integer; non-zero means yes.
    bool readBool(const QString& section, const QString& key, bool def) const;
    // "HH:mm:ss", "H:mm:ss" or "H:mm"; an invalid time gives `def`.
    QTime readTime(const QString& section, const QString& key, const QTime& def) const;

    // Each write saves the file (atomically) and throws qv::Error on failure.
    // A file the write creates can be read by its user and group only.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeTime(const QString& section, const QString& key, const QTime& value);

    // Parsers shared with other readers of settings-like text.
    static bool parseInteger(const QString& text, int& value);
    static QTime parseTime(const QString& text);

private:
    struct Position {
        int sectionLine = -1;  // the [section] line, -1 when absent
        int keyLine = -1;      // the key's line, -1 when absent
        int insertAt = -1;     // where a new key of the section goes
    };
    Position find(const QString& section, const QString& key) const;
    void save();

    QString path_;
    QStringList lines_;      // the lines as text, for reading
    QList<QByteArray> raw_;  // the same lines as stored, written back unchanged
    QString eol_ = QStringLiteral("\n");
    bool bom_ = false;
    bool exists_ = false;
};

}  // namespace qv
