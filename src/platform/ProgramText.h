#pragma once

#include <QHash>
#include <QString>

// The program's texts outside its windows' own message lines: the buttons
// and titles of message boxes and the messages of the data, card, settings
// and print layers, in the chosen language. A text is looked up by its built-in
// (Chinese) text; a language that does not give one shows the built-in text.
//
// Call sites write the built-in text as one literal so that the translation
// check can find every one of them:
//
//   throw qv::Error(qv::programText(QStringLiteral("数据库连接未打开。")));
//
// The language store keeps the translations as the rows of the pseudo-window
// "Program" (Dialog_Table: Title the built-in text, MessageStr its
// translation); the language layer loads them at start-up and when the
// operator chooses another language.
namespace qv {

// The translation context in which the program answers the application's
// translation requests with these texts (QCoreApplication::translate).
inline constexpr char kProgramTextContext[] = "Quorvane";

QString programText(const QString& builtIn);
// The title of the program's plain notices ("提示") in the chosen language.
QString noticeTitle();
// Marks a built-in text kept in a table and looked up later with
// programText(text), so that the translation check finds it too; gives it
// back as it is.
inline QString programTextKey(QString builtIn) {
    return builtIn;
}
// Replaces the table (built-in text → translation); an empty table brings
// back the built-in texts. A copy of this layer whose table was never filled
// (one linked into a library) asks the application's translators, which the
// program's copy joins once it has an application.
void setProgramTexts(QHash<QString, QString> texts);

}  // namespace qv
