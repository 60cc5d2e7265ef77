#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <optional>

// The records of the PMS link: STX, a two-letter record type, '|', fields of
// a two-letter field ID and its value each ended by '|', ETX. Values are UTF-8
// text; '|', STX and ETX never occur inside a value (they are dropped when a
// record is written).
namespace qv::pms {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
// The longest record taken, framing included: a longer one is dropped whole.
inline constexpr int kMaxRecordBytes = 4096;

struct Record {
    QByteArray type;  // two letters: "LS", "KR", ...
    QList<QPair<QByteArray, QString>> fields;

    Record() = default;
    explicit Record(const QByteArray& t) : type(t) {}
    // Adds a field (chainable).
    Record& add(const QByteArray& id, const QString& value) {
        fields.append({id, value});
        return *this;
    }
    bool has(const QByteArray& id) const;
    // The first value of `id`, or empty text.
    QString value(const QByteArray& id) const;
    bool isLink() const { return type.startsWith('L'); }
};

// The record as it goes on the wire.
QByteArray encode(const Record& record);

// Parses the bytes between STX and ETX. Nothing, with the reason in `why`,
// when they are not a record (a type other than two capitals, a field
// without its ID or its closing '|', a value that is not UTF-8).
std::optional<Record> parseBody(const QByteArray& body, QString* why = nullptr);

// Cuts a byte stream into records. Bytes outside STX...ETX are skipped; a
// record longer than kMaxRecordBytes is dropped whole; each malformed or
// dropped record is counted and its reason kept for the log.
class RecordReader {
public:
    void feed(const QByteArray& bytes);
    // The next complete record, or nothing when none is waiting.
    std::optional<Record> next();
    // Reasons of the records dropped since the last call.
    QStringList takeErrors();
    int dropped() const { return dropped_; }

private:
    QByteArray pending_;  // bytes after the last STX seen (empty when outside a record)
    bool inRecord_ = false;
    bool overlong_ = false;
    QList<Record> ready_;
    QStringList errors_;
    int dropped_ = 0;
};

}  // namespace qv::pms

Q_DECLARE_METATYPE(qv::pms::Record)
