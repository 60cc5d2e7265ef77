#include "interface/Record.h"

#include <QStringDecoder>

namespace qv::pms {

namespace {
bool isCapitalOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}
bool validId(const QByteArray& id) {
    return id.size() == 2 && isCapitalOrDigit(id[0]) && isCapitalOrDigit(id[1]);
}
}  // namespace

bool Record::has(const QByteArray& id) const {
    for (const auto& f : fields) {
        if (f.first == id) {
            return true;
        }
    }
    return false;
}

QString Record::value(const QByteArray& id) const {
    for (const auto& f : fields) {
        if (f.first == id) {
            return f.second;
        }
    }
    return {};
}

QByteArray encode(const Record& record) {
    QByteArray out;
    out += kStx;
    out += record.type;
    out += '|';
    for (const auto& f : record.fields) {
        QByteArray v = f.second.toUtf8();
        v.replace('|', "");
        v.replace(kStx, "");
        v.replace(kEtx, "");
        out += f.first;
        out += v;
        out += '|';
    }
    out += kEtx;
    return out;
}

std::optional<Record> parseBody(const QByteArray& body, QString* why) {
    const auto fail = [why](const QString& text) -> std::optional<Record> {
        if (why) {
            *why = text;
        }
        return std::nullopt;
    };
    if (body.size() < 3 || body[2] != '|') {
        return fail(QStringLiteral("no record type"));
    }
    Record r(body.left(2));
    if (r.type[0] < 'A' || r.type[0] > 'Z' || r.type[1] < 'A' || r.type[1] > 'Z') {
        return fail(QStringLiteral("bad record type"));
    }
    qsizetype at = 3;
    while (at < body.size()) {
        const qsizetype end = body.indexOf('|', at);
        if (end < 0) {
            return fail(QStringLiteral("a field without its closing '|'"));
        }
        const QByteArray field = body.mid(at, end - at);
        at = end + 1;
        if (field.isEmpty()) {
            continue;  // an empty field between two '|': nothing in it
        }
        const QByteArray id = field.left(2);
        if (!validId(id)) {
            return fail(QStringLiteral("bad field ID"));
        }
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString value = utf8(field.mid(2));
        if (utf8.hasError()) {
            return fail(QStringLiteral("a value that is not UTF-8"));
        }
        r.fields.append({id, value});
    }
    return r;
}

void RecordReader::feed(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (c == kStx) {
            if (inRecord_) {
                ++dropped_;
                errors_ << QStringLiteral("a record cut off by the next one");
            }
            inRecord_ = true;
            overlong_ = false;
            pending_.clear();
            continue;
        }
        if (!inRecord_) {
            continue;  // noise between records
        }
        if (c == kEtx) {
            inRecord_ = false;
            if (overlong_) {
                ++dropped_;
                errors_ << QStringLiteral("a record longer than %1 bytes").arg(kMaxRecordBytes);
            } else {
                QString why;
                if (std::optional<Record> r = parseBody(pending_, &why)) {
                    ready_.append(std::move(*r));
                } else {
                    ++dropped_;
                    errors_ << why;
                }
            }
            pending_.clear();
            continue;
        }
        if (overlong_) {
            continue;
        }
        if (pending_.size() + 2 >= kMaxRecordBytes) {
            overlong_ = true;
            pending_.clear();
            continue;
        }
        pending_ += c;
    }
}

std::optional<Record> RecordReader::next() {
    if (ready_.isEmpty()) {
        return std::nullopt;
    }
    return ready_.takeFirst();
}

QStringList RecordReader::takeErrors() {
    QStringList out;
    out.swap(errors_);
    return out;
}

}  // namespace qv::pms
