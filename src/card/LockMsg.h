#pragma once

#include <QString>

// The message library of the configured language,
// Dll/<LockSystemInfo.LanguageID>/libLockMsg.so, loaded for each call and
// unloaded before the call returns.

// The library's text number `index` (0: the caption pattern with one "%s").
// Empty when the library or its export is missing.
QString LockUnitText(int index);

// Shows the library's text for an encoder result code in a message box whose
// caption is LockUnitText(0) with the code in place of "%s"; information
// icon, OK. Without a usable library a built-in Chinese text with the code
// is shown instead, so the operator always sees the code.
void ShowLockMsg(int code);

// The path of the message library for a language.
QString LockMsgLibraryPath(int languageId);
