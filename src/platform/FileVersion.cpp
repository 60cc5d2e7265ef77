#include "platform/FileVersion.h"

#include <elf.h>
#include <QFile>
#include <cstring>

namespace {

const char kSection[] = ".qv_version";
const char kMagic[] = "QVVERSION1\n";

// The contents of the named section of a 64-bit ELF file, or empty.
QByteArray readElfSection(QFile& f, const char* wanted) {
    Elf64_Ehdr eh{};
    if (f.read(reinterpret_cast<char*>(&eh), sizeof eh) != sizeof eh ||
        std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum) {
        return {};
    }
    auto header = [&](int index, Elf64_Shdr& sh) {
        return f.seek(static_cast<qint64>(eh.e_shoff + index * sizeof(Elf64_Shdr))) &&
               f.read(reinterpret_cast<char*>(&sh), sizeof sh) == sizeof sh;
    };
    auto contents = [&](const Elf64_Shdr& sh, qint64 limit) -> QByteArray {
        if (sh.sh_type == SHT_NOBITS || sh.sh_size > static_cast<quint64>(limit) ||
            !f.seek(static_cast<qint64>(sh.sh_offset))) {
            return {};
        }
        return f.read(static_cast<qint64>(sh.sh_size));
    };
    Elf64_Shdr strings{};
    if (!header(eh.e_shstrndx, strings)) {
        return {};
    }
    const QByteArray names = contents(strings, 1 << 20);
    for (int i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh{};
        if (!header(i, sh) || sh.sh_name >= static_cast<quint64>(names.size())) {
            continue;
        }
        if (std::strcmp(names.constData() + sh.sh_name, wanted) == 0) {
            return contents(sh, 64 * 1024);
        }
    }
    return {};
}

}  // namespace

TFileVersion::TFileVersion() {
    read(QStringLiteral("/proc/self/exe"));
}
TFileVersion::TFileVersion(const QString& fileName) {
    read(fileName);
}

void TFileVersion::read(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        return;
    }
    QByteArray block = readElfSection(f, kSection);
    if (!block.startsWith(kMagic)) {
        return;
    }
    block.truncate(block.indexOf('\0') < 0 ? block.size() : block.indexOf('\0'));
    const QStringList lines = QString::fromUtf8(block).split('\n', Qt::SkipEmptyParts);
    QMap<QString, QString> values;
    for (const QString& line : lines.mid(1)) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) {
            values.insert(line.left(eq), line.mid(eq + 1));
        }
    }
    const QStringList words = values.take(QStringLiteral("Translation")).split(',');
    if (words.size() != 2) {
        return;
    }
    bool okLang = false;
    bool okPage = false;
    const uint lang = words[0].toUInt(&okLang, 16);
    const uint page = words[1].toUInt(&okPage, 16);
    if (!okLang || !okPage) {
        return;
    }
    translation_ = QString::asprintf("%.4x%.4x", lang, page);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        strings_.insert(QStringLiteral("StringFileInfo\\%1\\%2").arg(translation_, it.key()),
                        it.value());
    }
}

QString TFileVersion::GetTranslation() const {
    return translation_;
}

QString TFileVersion::GetVersionString(const QString& name) const {
    if (!HasVersionInfo()) {
        return {};
    }
    return strings_.value(QStringLiteral("StringFileInfo\\%1\\%2").arg(translation_, name))
        .trimmed();
}
