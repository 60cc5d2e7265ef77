#pragma once

#include <QLocale>
#include <QString>

namespace qv {

// Windows language identifiers (2052 Chinese (PRC), 1033 English (US), ...),
// which name the languages of the language store and the message libraries.
int languageIdForLocale(const QLocale& locale);
// The workstation's default language identifier (from the system locale).
int defaultLanguageId();
// The language of the program's own texts (Chinese, PRC): what the language
// menu's default entry shows, whatever the workstation's language.
inline constexpr int kBuiltInLanguageId = 2052;
// The locale of an identifier; the C locale when it is unknown.
QLocale localeForLanguageId(int id);
// The language's own name for itself ("中文", "English"), or the number.
QString languageDisplayName(int id);

}  // namespace qv
