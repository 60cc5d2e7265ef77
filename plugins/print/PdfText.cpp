#include "PdfText.h"

#include <QFont>
#include <QList>
#include <QRawFont>
#include <QRegularExpression>
#include <QString>

#include <cctype>

namespace qvprint {
namespace {

// CJK Radicals Supplement and Kangxi Radicals.
constexpr char16_t kRadicalsFirst = 0x2E80;
constexpr char16_t kRadicalsLast = 0x2FDF;

bool isHex4(const QByteArray& token) {
    if (token.size() != 4) {
        return false;
    }
    for (const char c : token) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// Replaces the 4-digit hex tokens <XXXX> of `line` from index `from` on.
void rewriteTargets(QByteArray& line, qsizetype from,
                    const QHash<char16_t, char16_t>& equivalents) {
    for (qsizetype open = line.indexOf('<', from); open >= 0; open = line.indexOf('<', open + 1)) {
        const qsizetype close = line.indexOf('>', open);
        if (close < 0) {
            return;
        }
        const QByteArray token = line.mid(open + 1, close - open - 1);
        if (!isHex4(token)) {
            continue;
        }
        const auto found =
            equivalents.constFind(static_cast<char16_t>(token.toUShort(nullptr, 16)));
        if (found != equivalents.constEnd()) {
            line.replace(open + 1, 4,
                         QByteArray::number(uint(*found), 16).rightJustified(4, '0').toUpper());
        }
    }
}

// Offset just after the n-th hex token of `line`, or -1.
qsizetype afterTokens(const QByteArray& line, int n) {
    qsizetype at = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype open = line.indexOf('<', at);
        const qsizetype close = open < 0 ? -1 : line.indexOf('>', open);
        if (close < 0) {
            return -1;
        }
        at = close + 1;
    }
    return at;
}

void rewriteCMap(QByteArray& cmap, const QHash<char16_t, char16_t>& equivalents) {
    QList<QByteArray> lines = cmap.split('\n');
    enum { Outside, Ranges, Chars } section = Outside;
    for (QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.endsWith("beginbfrange")) {
            section = Ranges;
        } else if (trimmed.endsWith("beginbfchar")) {
            section = Chars;
        } else if (trimmed == "endbfrange" || trimmed == "endbfchar") {
            section = Outside;
        } else if (section == Chars) {
            // <source> <target>
            const qsizetype at = afterTokens(line, 1);
            if (at >= 0) {
                rewriteTargets(line, at, equivalents);
            }
        } else if (section == Ranges) {
            // <low> <high> [<target> ...] or <low> <high> <first target>; a
            // counting range is left alone unless it covers one code.
            const qsizetype at = afterTokens(line, 2);
            if (at < 0) {
                continue;
            }
            const bool list = line.indexOf('[', at) >= 0;
            const qsizetype lowEnd = afterTokens(line, 1);
            const bool single =
                line.mid(0, lowEnd).trimmed() == line.mid(lowEnd, at - lowEnd).trimmed();
            if (list || single) {
                rewriteTargets(line, at, equivalents);
            }
        }
    }
    cmap = lines.join('\n');
}

}  // namespace

QHash<char16_t, char16_t> radicalEquivalents(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    QHash<char16_t, char16_t> equivalents;
    if (!raw.isValid()) {
        return equivalents;
    }
    QString ideographs;
    for (char32_t c = 0x4E00; c <= 0x9FFF; ++c) {
        ideographs += QChar(static_cast<char16_t>(c));
    }
    for (char32_t c = 0x3400; c <= 0x4DBF; ++c) {
        ideographs += QChar(static_cast<char16_t>(c));
    }
    QHash<quint32, char16_t> byGlyph;
    const QList<quint32> glyphs = raw.glyphIndexesForString(ideographs);
    for (qsizetype i = 0; i < glyphs.size() && i < ideographs.size(); ++i) {
        if (glyphs[i] != 0 && !byGlyph.contains(glyphs[i])) {
            byGlyph.insert(glyphs[i], ideographs[i].unicode());
        }
    }
    QString radicals;
    for (char32_t c = kRadicalsFirst; c <= kRadicalsLast; ++c) {
        radicals += QChar(static_cast<char16_t>(c));
    }
    const QList<quint32> radicalGlyphs = raw.glyphIndexesForString(radicals);
    for (qsizetype i = 0; i < radicalGlyphs.size() && i < radicals.size(); ++i) {
        const auto found = byGlyph.constFind(radicalGlyphs[i]);
        if (radicalGlyphs[i] != 0 && found != byGlyph.constEnd()) {
            equivalents.insert(radicals[i].unicode(), *found);
        }
    }
    return equivalents;
}

void restoreIdeographs(QByteArray& pdf, const QHash<char16_t, char16_t>& equivalents) {
    if (equivalents.isEmpty()) {
        return;
    }
    static const QByteArray kStart = QByteArrayLiteral("/CIDInit /ProcSet findresource begin");
    for (qsizetype start = pdf.indexOf(kStart); start >= 0;
         start = pdf.indexOf(kStart, start + 1)) {
        const qsizetype end = pdf.indexOf("endcmap", start);
        if (end < 0) {
            return;
        }
        QByteArray cmap = pdf.mid(start, end - start);
        const qsizetype size = cmap.size();
        rewriteCMap(cmap, equivalents);
        if (cmap.size() == size) {  // never move an offset of the file
            pdf.replace(start, size, cmap);
        }
    }
}

}  // namespace qvprint
