#include "platform/LanguageIds.h"

#include <array>

namespace qv {
namespace {

struct Entry {
    int id;
    QLocale::Language language;
    QLocale::Territory territory;
};

// The identifiers a hotel front desk is likely to meet; the first entry of a
// language is its default when the territory is not listed.
constexpr std::array<Entry, 22> kEntries{{
    {2052, QLocale::Chinese, QLocale::China},
    {1028, QLocale::Chinese, QLocale::Taiwan},
    {3076, QLocale::Chinese, QLocale::HongKong},
    {4100, QLocale::Chinese, QLocale::Singapore},
    {1033, QLocale::English, QLocale::UnitedStates},
    {2057, QLocale::English, QLocale::UnitedKingdom},
    {3081, QLocale::English, QLocale::Australia},
    {1041, QLocale::Japanese, QLocale::Japan},
    {1042, QLocale::Korean, QLocale::SouthKorea},
    {1031, QLocale::German, QLocale::Germany},
    {1036, QLocale::French, QLocale::France},
    {1034, QLocale::Spanish, QLocale::Spain},
    {1040, QLocale::Italian, QLocale::Italy},
    {1049, QLocale::Russian, QLocale::Russia},
    {1046, QLocale::Portuguese, QLocale::Brazil},
    {1054, QLocale::Thai, QLocale::Thailand},
    {1066, QLocale::Vietnamese, QLocale::Vietnam},
    {1057, QLocale::Indonesian, QLocale::Indonesia},
    {1086, QLocale::Malay, QLocale::Malaysia},
    {1025, QLocale::Arabic, QLocale::SaudiArabia},
    {1055, QLocale::Turkish, QLocale::Turkey},
    {1043, QLocale::Dutch, QLocale::Netherlands},
}};

}  // namespace

int languageIdForLocale(const QLocale& locale) {
    int fallback = 0;
    for (const Entry& e : kEntries) {
        if (e.language != locale.language()) {
            continue;
        }
        if (e.territory == locale.territory()) {
            return e.id;
        }
        if (fallback == 0) {
            fallback = e.id;
        }
    }
    return fallback != 0 ? fallback : 1033;
}

int defaultLanguageId() {
    return languageIdForLocale(QLocale::system());
}

QLocale localeForLanguageId(int id) {
    for (const Entry& e : kEntries) {
        if (e.id == id) {
            return QLocale(e.language, e.territory);
        }
    }
    return QLocale::c();
}

QString languageDisplayName(int id) {
    const QLocale locale = localeForLanguageId(id);
    if (locale.language() == QLocale::C) {
        return QString::number(id);
    }
    return locale.nativeLanguageName();
}

}  // namespace qv
