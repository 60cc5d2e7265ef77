#pragma once

#include "platform/FileVersion.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <QWidget>
#include <utility>
#include <vector>

class QSqlDatabase;

namespace qv::language {
// Creates the store's tables and indexes that are missing, in one
// transaction. Throws qv::DbError naming the store at `path`.
void createStoreTables(const QSqlDatabase& db, const QString& path);
// The error text of a store that cannot be used.
QString storeErrorText(const QString& path, const QString& driverText);
// Loads the program's texts in `languageId` from the store into
// qv::programText. Without a store, or without rows for the language, the
// program shows its built-in texts; a store that cannot be read is left to
// the windows to report. Qt's own texts (file dialogs, standard buttons,
// print dialogs) follow through loadQtTexts.
void loadProgramTexts(int languageId);
// Installs Qt's own translations for `languageId` from the system's Qt
// translations (QLibraryInfo::TranslationsPath), replacing the earlier ones;
// a language without them leaves Qt's English.
void loadQtTexts(int languageId);
}  // namespace qv::language

// The language store of one window (component `Language1`): the window's
// captions, hints, item lists and column titles per language, and its
// numbered message lines (`Variable`). The store is the SQLite file
// db/Language.db of the program's folder with the tables Component_Table
// (the texts of each component) and Dialog_Table (dialog titles and message
// lines). The program applies and captures rows; translators edit them.
//
// Each TLanguage holds its own connection to the store. A store that cannot
// be used is reported once, when the component is created; the window then
// keeps its built-in texts.
class TLanguage : public QObject {
    Q_OBJECT
    Q_PROPERTY(int LanguageID READ LanguageID WRITE SetLanguageID)
    Q_PROPERTY(QStringList Variable READ Variable)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)

public:
    // Opens db/Language.db, creating the db/ folder, the file and both tables
    // when the file is missing. Errors are shown in the error box, never thrown.
    explicit TLanguage(QWidget* owner);
    ~TLanguage() override;
    TLanguage(const TLanguage&) = delete;
    TLanguage& operator=(const TLanguage&) = delete;

    int LanguageID() const { return languageId_; }
    // Only stores the identifier; run Translate to show the language.
    void SetLanguageID(int id) { languageId_ = id; }
    const TFileVersion& AppVersion() const { return appVersion_; }
    const QStringList& Variable() const { return variable_; }
    bool Active() const { return active_; }
    void SetActive(bool value);  // true runs Translate

    // Applies the window's rows of the current language: Variable from
    // Dialog_Table (the last row wins), then the component texts. Texts
    // without a row stay as they are, except in the program's own language
    // (qv::kBuiltInLanguageId): running it for that language first puts back
    // the built-in texts an earlier language replaced. A failing store is
    // reported in the error box; Translate never throws.
    void Translate();
    // Writes the window's current texts into Component_Table, one row per
    // component and one for the window, asking before it replaces the rows
    // the window already has in this language. Throws qv::DbError when the
    // store cannot be written (nothing is changed then).
    void CaptureForm();

    // Message line `index` (from 0), or an empty text when there is none.
    QString GetVariable(int index) const;
    // The same, with `defaultText` when the line is missing or empty.
    QString GetVariable(int index, const QString& defaultText) const;
    // Title of the window's dialog `dialogId` in the current language, or empty.
    QString GetDialogTitle(int dialogId) const;
    // The languages that have component rows, as decimal identifiers, ascending.
    QStringList GetLanguageList() const;

    // Creates the store file and its two tables (those missing). Throws
    // qv::DbError on failure.
    void CreateStore();

    // The product name the rows are stored under (ProductName of AppVersion).
    QString AppName() const { return appName_; }
    // Whether the store was opened; when not, StoreError() says why.
    bool IsOpen() const { return open_; }
    QString StoreError() const { return storeError_; }

private:
    void open();
    void checkTables() const;
    QString formName() const;
    void rememberBuiltIn(QObject* target, const QString& text);
    QWidget* window() const { return owner_.data(); }

    QPointer<QWidget> owner_;
    TFileVersion appVersion_;
    QString appName_;
    QString connection_;
    QString path_;
    QStringList variable_;
    // The texts an earlier Translate replaced, as they were before it: per
    // component the lines of the properties it changed.
    std::vector<std::pair<QPointer<QObject>, QString>> builtIn_;
    int languageId_ = 0;
    bool active_ = false;
    bool open_ = false;
    QString storeError_;
};
