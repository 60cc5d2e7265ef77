#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The translation source of one language: a tab-separated text file, one row
// per text of the program, that translators read and edit and that
// `quorvane-langstore` turns into the language store's rows.
//
//   # comment lines and empty lines are skipped
//   Form<TAB>Component<TAB>Class<TAB>Property<TAB>Built-in text<TAB>Translation
//
//   LogonForm     OK_Bt       QPushButton  text        确定(&O)   &OK
//   RoomList_Form State_RG    qv::RadioGroup Items.1   所有客人    All guests
//   MC_R_From     Records_Grid QTableView  Columns.2   卡类型     Card type
//   LogonForm     Language1   TLanguage    Variable.3  ...        ...
//
// Property is a text property of the component (text, windowTitle, title,
// toolTip, ...), or an entry of its list: Items.n / Lines.n (item lists and
// memo lines, replaced only as a whole) or Columns.n (column titles). The
// message lines of a window are the entries Variable.n of its component
// Language1. Texts keep to one line: "\n" is a line break, "\\" a backslash.
// The built-in text is the program's own (Chinese) text, for the reader and
// for the check that every text of the program is translated.
namespace qv::language {

struct SourceRow {
    QString form;
    QString component;
    QString className;
    QString property;
    QString builtIn;
    QString text;
    int line = 0;  // line of the file, for messages
};

// The name of the component that holds a window's message lines.
inline constexpr const char* kMessagesComponent = "Language1";
inline constexpr const char* kMessagesProperty = "Variable";

// Parses a source. Throws qv::Error naming the file and line of a malformed
// row (wrong number of fields, empty key field, a tab or line break in a text,
// an entry index that is not a number, the same text twice).
std::vector<SourceRow> parseSource(const QString& text, const QString& fileName);
std::vector<SourceRow> readSource(const QString& path);
// The text of a source file (header comment, then the rows in order).
QString formatSource(const std::vector<SourceRow>& rows, const QString& header);

// The language store's rows made from a source.
struct StoreRows {
    struct Component {
        QString form, name, className, text;
    };
    struct Messages {
        QString form;
        QString text;  // Dialog_Table.MessageStr: the lines, one per line
    };
    std::vector<Component> components;
    std::vector<Messages> messages;
    int untranslated = 0;  // rows left out because their translation is empty
};
// Groups the rows per window and component in source order. A list must
// list its entries 0..n-1, each once (throws qv::Error otherwise); an item
// list with an untranslated item is left out as a whole, so the window keeps
// its own items, and an untranslated column title keeps the built-in text.
StoreRows storeRows(const std::vector<SourceRow>& rows);

// Replaces the rows of `languageId` under `appName` in the store at
// `storePath` by `rows`, in one transaction: rows of other languages and
// other products stay as they are. Creates the store (file and tables) when it
// does not exist. Throws qv::DbError when the store cannot be written; the
// store is then unchanged.
void installLanguage(const QString& storePath, const QString& appName, int languageId,
                     const StoreRows& rows);

// The language a source file is for: its base name ("1033.tsv" → 1033), or
// 0 when the name is not a language identifier.
int sourceLanguageId(const QString& path);

}  // namespace qv::language
