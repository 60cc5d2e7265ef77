#include "language/Language.h"

#include "language/ComponentText.h"
#include "language/LanguageSource.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/LanguageIds.h"
#include "platform/ProgramText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTranslator>
#include <QVariant>
#include <QWidget>
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace {

std::atomic<int> g_connectionSerial{0};

const QString kCreateComponentTable = QStringLiteral(
    "Create Table Component_Table\n"
    "(ID integer PRIMARY KEY AUTOINCREMENT,\n"
    "AppName varchar(50) not null,\n"
    "FormName varchar(50) not null,\n"
    "ComponentName varchar(50) not null,\n"
    "LanguageID int not null,\n"
    "ComponentClass varchar(50) null,\n"
    "ComponentProperty Text null)");

const QString kCreateDialogTable = QStringLiteral(
    "Create Table Dialog_Table\n"
    "(ID integer PRIMARY KEY AUTOINCREMENT,\n"
    "AppName varchar(50) Not null,\n"
    "FormName varchar(50) Not null,\n"
    "DialogID int Not null,\n"
    "LanguageID int Not null,\n"
    "Title varchar(255) Not null,\n"
    "MessageStr varchar(255) Not null)");

// Every window reads its rows by product, window and language.
const QString kComponentIndex = QStringLiteral(
    "Create Index If Not Exists Component_Table_Form On Component_Table (AppName, FormName, "
    "LanguageID)");
const QString kDialogIndex = QStringLiteral(
    "Create Index If Not Exists Dialog_Table_Form On Dialog_Table (AppName, FormName, LanguageID)");

const QString kOfWindow =
    QStringLiteral(" where AppName = :app and FormName = :form and LanguageID = :lang");

QString storeError(const QString& path, const QString& driverText) {
    return qv::programText(QStringLiteral("语言库“%1”无法使用：%2"))
        .arg(QDir::toNativeSeparators(path), driverText);
}

// The rows of one window: product, window name and language.
struct WindowKey {
    QString app;
    QString form;
    int language;
};

// A statement on the store: prepared, values bound, errors thrown as DbError.
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& sql, QString path)
        : query_(db), path_(std::move(path)) {
        if (!query_.prepare(sql)) {
            fail();
        }
    }
    // A statement whose text holds the window condition, its values bound.
    Statement(const QSqlDatabase& db, const QString& sql, QString path, const WindowKey& key)
        : Statement(db, sql, std::move(path)) {
        bind(QStringLiteral(":app"), key.app);
        bind(QStringLiteral(":form"), key.form);
        bind(QStringLiteral(":lang"), key.language);
    }
    Statement& bind(const QString& name, const QVariant& value) {
        query_.bindValue(name, value);
        return *this;
    }
    QSqlQuery& exec() {
        if (!query_.exec()) {
            fail();
        }
        return query_;
    }

private:
    [[noreturn]] void fail() const {
        throw qv::DbError(storeError(path_, query_.lastError().text()));
    }
    QSqlQuery query_;
    QString path_;
};

}  // namespace

namespace qv::language {

void createStoreTables(const QSqlDatabase& db, const QString& path) {
    auto create = [&](const QString& table, const QString& statement) {
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("Select 1 From sqlite_master Where type = 'table' And name = :name"));
        q.bindValue(QStringLiteral(":name"), table);
        if (!q.exec()) {
            throw qv::DbError(storeError(path, q.lastError().text()));
        }
        if (!q.next()) {
            Statement(db, statement, path).exec();
        }
    };
    QSqlDatabase writable = db;
    if (!writable.transaction()) {
        throw qv::DbError(storeError(path, writable.lastError().text()));
    }
    try {
        create(QStringLiteral("Component_Table"), kCreateComponentTable);
        create(QStringLiteral("Dialog_Table"), kCreateDialogTable);
        Statement(db, kComponentIndex, path).exec();
        Statement(db, kDialogIndex, path).exec();
        if (!writable.commit()) {
            throw qv::DbError(storeError(path, writable.lastError().text()));
        }
    } catch (...) {
        writable.rollback();
        throw;
    }
}

QString storeErrorText(const QString& path, const QString& driverText) {
    return storeError(path, driverText);
}

void loadQtTexts(int languageId) {
    static QTranslator* current = nullptr;
    if (!QCoreApplication::instance()) {
        return;
    }
    if (current) {
        QCoreApplication::removeTranslator(current);
        delete current;
        current = nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    // qtbase_zh_CN.qm, qtbase_en.qm, ...: Qt's own dialogs, buttons and boxes.
    if (translator->load(qv::localeForLanguageId(languageId), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        current = translator.release();
        QCoreApplication::installTranslator(current);
    }
}

void loadProgramTexts(int languageId) {
    loadQtTexts(languageId);
    QHash<QString, QString> texts;
    const QString path = qv::AppPaths::languageDatabase();
    if (QFileInfo(path).isFile()) {
        const QString connection = QStringLiteral("qv_language_program");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
            if (db.open()) {
                QSqlQuery q(db);
                q.prepare(QStringLiteral("Select Title, MessageStr From Dialog_Table") + kOfWindow +
                          QStringLiteral(" Order By ID"));
                q.bindValue(QStringLiteral(":app"),
                            TFileVersion().GetVersionString(QStringLiteral("ProductName")));
                q.bindValue(QStringLiteral(":form"), QString::fromLatin1(kProgramForm));
                q.bindValue(QStringLiteral(":lang"), languageId);
                if (q.exec()) {
                    while (q.next()) {
                        texts.insert(q.value(0).toString(), q.value(1).toString());
                    }
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
    qv::setProgramTexts(std::move(texts));
}

}  // namespace qv::language

TLanguage::TLanguage(QWidget* owner) : QObject(owner), owner_(owner) {
    setObjectName(QStringLiteral("Language1"));
    appName_ = appVersion_.GetVersionString(QStringLiteral("ProductName"));
    path_ = qv::AppPaths::languageDatabase();
    connection_ = QStringLiteral("qv_language_%1").arg(++g_connectionSerial);
    try {
        open();
    } catch (const qv::Error& e) {
        storeError_ = e.text();
        open_ = false;
        QSqlDatabase::database(connection_, false).close();
        qv::showError(storeError_);
    }
}

TLanguage::~TLanguage() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

void TLanguage::open() {
    const QFileInfo file(path_);
    if (!QDir().mkpath(file.absolutePath())) {
        throw qv::Error(storeError(path_, qv::programText(QStringLiteral("无法创建文件夹“%1”。"))
                                              .arg(QDir::toNativeSeparators(file.absolutePath()))));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    // An empty file is what an interrupted creation leaves: it is created anew.
    if (!file.exists() || (file.isFile() && file.size() == 0)) {
        CreateStore();
    } else {
        if (!db.open()) {
            throw qv::DbError(storeError(path_, db.lastError().text()));
        }
        checkTables();
    }
    open_ = true;
}

void TLanguage::checkTables() const {
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Statement(
        db,
        QStringLiteral("Select ID, AppName, FormName, ComponentName, LanguageID, ComponentClass, "
                       "ComponentProperty From Component_Table Limit 0"),
        path_)
        .exec();
    Statement(
        db,
        QStringLiteral("Select ID, AppName, FormName, DialogID, LanguageID, Title, MessageStr "
                       "From Dialog_Table Limit 0"),
        path_)
        .exec();
}

void TLanguage::CreateStore() {
    const bool existed = QFileInfo::exists(path_);
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.isOpen() && !db.open()) {
        throw qv::DbError(storeError(path_, db.lastError().text()));
    }
    try {
        qv::language::createStoreTables(db, path_);
    } catch (...) {
        if (!existed) {
            db.close();
            QFile::remove(path_);  // no half-made store is left behind
        }
        throw;
    }
}

QString TLanguage::formName() const {
    return owner_ ? owner_->objectName() : QString();
}

void TLanguage::SetActive(bool value) {
    active_ = value;
    if (value) {
        Translate();
    }
}

void TLanguage::Translate() {
    if (!open_ || !owner_) {
        return;  // the store's fault was shown when the window was created
    }
    std::vector<std::pair<QString, QString>> rows;
    bool messageRows = false;
    try {
        const QSqlDatabase db = QSqlDatabase::database(connection_, false);
        {
            Statement s(db,
                        QStringLiteral("Select MessageStr From Dialog_Table") + kOfWindow +
                            QStringLiteral(" Order By ID"),
                        path_, {appName_, formName(), languageId_});
            QSqlQuery& q = s.exec();
            while (q.next()) {
                variable_ = qv::language::splitLines(q.value(0).toString());
                messageRows = true;
            }
        }
        Statement s(db,
                    QStringLiteral("Select ComponentName, ComponentProperty From Component_Table") +
                        kOfWindow + QStringLiteral(" Order By ID"),
                    path_, {appName_, formName(), languageId_});
        QSqlQuery& q = s.exec();
        while (q.next()) {
            rows.emplace_back(q.value(0).toString(), q.value(1).toString());
        }
    } catch (const qv::Error& e) {
        qv::showError(e.text());
        return;
    }
    // A language without rows keeps what the window shows, except the
    // program's own language: choosing it puts back the built-in texts that
    // another language replaced (the message lines are then the windows' own
    // defaults again), then applies its rows (if any).
    if (languageId_ == qv::kBuiltInLanguageId) {
        if (!messageRows) {
            variable_.clear();
        }
        for (const auto& [target, text] : builtIn_) {
            if (target) {
                qv::language::applyText(target, text);
            }
        }
    }
    const QList<QObject*> components = qv::language::components(owner_, this);
    for (const auto& [name, text] : rows) {
        if (!owner_) {
            return;
        }
        QObject* target = qv::language::findComponent(components, name);
        if (!target && name == formName()) {
            target = owner_;
        }
        if (target) {
            rememberBuiltIn(target, text);
            qv::language::applyText(target, text);
        }
    }
}

void TLanguage::rememberBuiltIn(QObject* target, const QString& text) {
    for (const auto& [known, lines] : builtIn_) {
        if (known == target) {
            return;  // its built-in texts were kept when it was first changed
        }
    }
    builtIn_.emplace_back(target, qv::language::captureTextFor(target, text));
}

void TLanguage::CaptureForm() {
    if (!owner_ || !owner_->isWindow()) {
        return;
    }
    if (!open_) {
        throw qv::DbError(storeError_);
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const QString form = formName();
    const WindowKey key{appName_, form, languageId_};

    bool existing = false;
    {
        Statement s(db, QStringLiteral("Select Count(*) From Component_Table") + kOfWindow, path_,
                    key);
        QSqlQuery& q = s.exec();
        existing = q.next() && q.value(0).toLongLong() > 0;
    }
    if (existing &&
        qv::messageBox(qv::noticeTitle(),
                       qv::programText(QStringLiteral("窗体中的内容已经存在是否清除重建？")),
                       qv::Icon::Stop, qv::Buttons::OkCancel) != qv::Answer::Ok) {
        return;
    }

    struct Row {
        QString name, className, text;
    };
    std::vector<Row> rows;
    for (const QObject* c : qv::language::components(owner_, this)) {
        rows.push_back({c->objectName(), QString::fromLatin1(c->metaObject()->className()),
                        qv::language::captureText(c)});
    }
    rows.push_back({form, QString::fromLatin1(owner_->metaObject()->className()),
                    qv::language::captureText(owner_, true)});

    // All or nothing: a failed capture keeps the rows the window had.
    if (!db.transaction()) {
        throw qv::DbError(storeError(path_, db.lastError().text()));
    }
    try {
        if (existing) {
            Statement s(db, QStringLiteral("Delete From Component_Table") + kOfWindow, path_, key);
            s.exec();
        }
        Statement insert(
            db,
            QStringLiteral("Insert Into Component_Table (AppName, FormName, ComponentName, "
                           "LanguageID, ComponentClass, ComponentProperty) Values (:app, "
                           ":form, :name, :lang, :class, :text)"),
            path_, key);
        for (const Row& r : rows) {
            insert.bind(QStringLiteral(":name"), r.name)
                .bind(QStringLiteral(":class"), r.className)
                .bind(QStringLiteral(":text"), r.text)
                .exec();
        }
        if (!db.commit()) {
            throw qv::DbError(storeError(path_, db.lastError().text()));
        }
    } catch (...) {
        db.rollback();
        throw;
    }
}

QString TLanguage::GetVariable(int index) const {
    return index >= 0 && index < variable_.size() ? variable_[index] : QString();
}

QString TLanguage::GetVariable(int index, const QString& defaultText) const {
    const QString line = GetVariable(index);
    return line.isEmpty() ? defaultText : line;
}

QString TLanguage::GetDialogTitle(int dialogId) const {
    if (!open_) {
        return {};
    }
    try {
        Statement s(QSqlDatabase::database(connection_, false),
                    QStringLiteral("Select Title From Dialog_Table") + kOfWindow +
                        QStringLiteral(" and DialogID = :id Order By ID Limit 1"),
                    path_, {appName_, formName(), languageId_});
        QSqlQuery& q = s.bind(QStringLiteral(":id"), dialogId).exec();
        return q.next() ? q.value(0).toString() : QString();
    } catch (const qv::Error& e) {
        qv::showError(e.text());
        return {};
    }
}

QStringList TLanguage::GetLanguageList() const {
    QStringList out;
    if (!open_) {
        return out;
    }
    try {
        Statement s(
            QSqlDatabase::database(connection_, false),
            QStringLiteral("Select Distinct LanguageID From Component_Table Order By LanguageID"),
            path_);
        QSqlQuery& q = s.exec();
        while (q.next()) {
            out << QString::number(q.value(0).toLongLong());
        }
    } catch (const qv::Error& e) {
        qv::showError(e.text());
    }
    return out;
}
