// The English language store (assets/language/1033.tsv) against every window
// of the program: every built-in text has its translation, every row names a
// text that exists, and with English chosen no window shows a Chinese text.
//
// QV_WRITE_LANGUAGE_SOURCE=<path> writes the source with every current text
// of every window (translations kept, new texts with an empty translation),
// for the translator; the checks run as usual.
#include "SimEncoder.h"
#include "WindowFixture.h"
#include "data/Session.h"

#include "window/InputPasswordBox_Unit.h"
#include "app/Logon_Unit.h"
#include "records/OperationLog_Unit.h"
#include "card/CardRecords.h"
#include "cards/CheckCard_Unit.h"
#include "cards/MakeCard_Unit.h"
#include "cards/OpenDoorRecord_Unit.h"
#include "cards/ReadDataCard_Unit.h"
#include "language/ComponentText.h"
#include "language/Language.h"
#include "language/LanguageSource.h"
#include "layout/DistrictSetting_Unit.h"
#include "layout/RoomInfo_Unit.h"
#include "layout/RoomType_Unit.h"
#include "main/About_Unit.h"
#include "main/Help_Unit.h"
#include "main/Main.h"
#include "maintenance/Cd_Unit.h"
#include "maintenance/SystemInfo_Unit.h"
#include "operators/ChangePassword_Unit.h"
#include "operators/Operator_Unit.h"
#include "platform/Clock.h"
#include "platform/FileVersion.h"
#include "platform/ProgramText.h"
#include "records/CheckGuestInRecord_Unit.h"
#include "records/MC_R_Unit.h"
#include "records/RoomList_Unit.h"
#include "records/UnconfirmedCards_Unit.h"
#include "stays/ClockRoom_Unit.h"
#include "stays/CopyGuestCard_Unit.h"
#include "stays/GuestLeave_Unit.h"
#include "stays/GuestQuickIn_Unit.h"
#include "stays/ModifyGuestCard_Unit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <map>

namespace {

const QString kSource = QStringLiteral(QV_SOURCE_DIR "/assets/language/1033.tsv");

struct Maker {
    QString form;
    std::function<std::unique_ptr<QWidget>()> make;
};

template <class W>
Maker window(const char* form) {
    return {QString::fromLatin1(form), [] { return std::make_unique<W>(); }};
}

// Every window of the program, as a clerk opens it. The logon window twice:
// its first-run mode has texts of its own (from its message lines).
std::vector<Maker> everyWindow(const TempAppDir& app) {
    const QString help = app.file("Operating.htm");
    return {
        {"LogonForm",
         [] {
             dm->conn.execute(
                 "insert into Operator (Staffer, StafferName, Pass, GroupID) values ('op', 'op', "
                 "'x', 1)");
             return std::make_unique<TLogonForm>();
         }},
        {"LogonForm",
         [] {
             dm->conn.execute("delete from Operator");
             return std::make_unique<TLogonForm>();
         }},
        window<TInputPasswordBox>("InputPasswordBox"),
        window<TMainForm>("MainForm"),
        window<TAboutForm>("AboutForm"),
        {"Help_Form", [help] { return std::make_unique<THelp_Form>(help, nullptr); }},
        window<TGuestQuickIn_Form>("GuestQuickIn_Form"),
        window<TModifyGuestCard_Form>("ModifyGuestCard_Form"),
        window<TCopyGuestCard_Form>("CopyGuestCard_Form"),
        window<TClockRoom_Form>("ClockRoom_Form"),
        window<TGuestLeave_Form>("GuestLeave_Form"),
        window<TMakeCard_Form>("MakeCard_Form"),
        window<TCheckCardForm>("CheckCardForm"),
        window<TReadDataCard_Form>("ReadDataCard_Form"),
        window<TOpenDoorRecord_Form>("OpenDoorRecord_Form"),
        window<TCheckGuestInRecord_Form>("CheckGuestInRecord_Form"),
        window<TOperationLog_Form>("OperationLog_Form"),
        window<TMC_R_From>("MC_R_From"),
        window<TUnconfirmedCards_Form>("UnconfirmedCards_Form"),
        window<TRoomList_Form>("RoomList_Form"),
        window<TRoomInfo_Form>("RoomInfo_Form"),
        window<TRoomType_Form>("RoomType_Form"),
        window<TDistrictSetting_Form>("DistrictSetting_Form"),
        window<TOperator_Form>("Operator_Form"),
        window<TChangePassword_Form>("ChangePassword_Form"),
        window<TSystemInfo_Form>("SystemInfo_Form"),
        window<TCdForm>("CdForm"),
    };
}

bool hasChinese(const QString& text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return cjk.match(text).hasMatch();
}

QString keyOf(const QString& form, const QString& component, const QString& property) {
    return form + QLatin1Char('\t') + component + QLatin1Char('\t') + property;
}

// The translatable texts of one open window, in component order.
std::vector<qv::language::SourceRow> captureWindow(QWidget* w) {
    std::vector<qv::language::SourceRow> out;
    auto* language = w->findChild<TLanguage*>(QStringLiteral("Language1"));
    const QString form = w->objectName();
    auto add = [&](const QObject* c, const QString& name, bool headersOnly) {
        for (const auto& e : qv::language::translatableTexts(c, headersOnly)) {
            out.push_back({form,
                           name,
                           QString::fromLatin1(c->metaObject()->className()),
                           e.property,
                           e.text,
                           {},
                           0});
        }
    };
    add(w, form, true);
    for (const QObject* c : qv::language::components(w, language)) {
        add(c, c->objectName(), false);
    }
    return out;
}

// What the clerk sees, named or not: labels, buttons, group titles, tabs,
// column titles, list items and the window's title.
QStringList visibleTexts(QWidget* w) {
    QStringList out{w->windowTitle()};
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(c)) {
            out << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
            out << button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(c)) {
            out << group->title();
        } else if (auto* tabs = qobject_cast<QTabBar*>(c)) {
            for (int i = 0; i < tabs->count(); ++i) {
                out << tabs->tabText(i);
            }
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            for (int i = 0; i < combo->count(); ++i) {
                out << combo->itemText(i);
            }
        } else if (auto* view = qobject_cast<QAbstractItemView*>(c); view && view->model()) {
            for (int i = 0; i < view->model()->columnCount(); ++i) {
                out << view->model()->headerData(i, Qt::Horizontal).toString();
            }
        }
    }
    for (QAction* a : w->findChildren<QAction*>()) {
        out << a->text();
    }
    return out;
}

}  // namespace

class EnglishTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyTextHasItsTranslation();
    void everyRowNamesATextThatExists();
    void windowsShowEnglish();
    void everyProgramTextHasItsTranslation();
    void everyWindowFitsTheDeskScreen_data();
    void everyWindowFitsTheDeskScreen();
    void everyWindowsKeyboardPath_data();
    void everyWindowsKeyboardPath();

private:
    // Chooses the language: 1033 installs the English store first.
    void chooseLanguage(int language);
    // Every window's texts, each key once, in window order.
    void captureAll(std::vector<qv::language::SourceRow>& rows);

    WindowFixture fx;
    std::unique_ptr<SimEncoder> sim;
};

void EnglishTest::init() {
    QString why;
    QVERIFY2(fx.setUp(QString(), /*demo=*/false, &why), qPrintable(why));
    qv::session().name = QStringLiteral("desk");
    LockSystemInfo.LanguageID = 2052;
    sim = std::make_unique<SimEncoder>(*fx.app);
    QVERIFY(sim->loaded());
    fx.app->write("Operating.htm", "<html><body><p>Help</p></body></html>");
}

void EnglishTest::cleanup() {
    qv::setProgramTexts({});
    sim.reset();
    fx.tearDown();
}

void EnglishTest::captureAll(std::vector<qv::language::SourceRow>& rows) {
    QSet<QString> seen;
    for (const Maker& m : everyWindow(*fx.app)) {
        std::unique_ptr<QWidget> w = m.make();
        QCOMPARE(w->objectName(), m.form);
        for (auto& r : captureWindow(w.get())) {
            const QString key = keyOf(r.form, r.component, r.property);
            if (!seen.contains(key)) {
                seen.insert(key);
                rows.push_back(std::move(r));
            }
        }
        fx.dialogs->clear();
    }
}

void EnglishTest::everyTextHasItsTranslation() {
    std::vector<qv::language::SourceRow> captured;
    captureAll(captured);
    QVERIFY(!captured.empty());
    const std::vector<qv::language::SourceRow> source = qv::language::readSource(kSource);
    QHash<QString, const qv::language::SourceRow*> byKey;
    for (const auto& r : source) {
        byKey.insert(keyOf(r.form, r.component, r.property), &r);
    }

    if (const QString out = qEnvironmentVariable("QV_WRITE_LANGUAGE_SOURCE"); !out.isEmpty()) {
        // The windows' texts first, in window order; then the message lines
        // and the program's texts as they stand.
        std::vector<qv::language::SourceRow> merged;
        for (auto r : captured) {
            if (!hasChinese(r.builtIn)) {
                continue;
            }
            if (const auto* known = byKey.value(keyOf(r.form, r.component, r.property))) {
                r.text = known->text;
            }
            merged.push_back(r);
        }
        for (const auto& r : source) {
            if (r.component == QLatin1String(qv::language::kMessagesComponent) ||
                r.form == QLatin1String(qv::language::kProgramForm)) {
                merged.push_back(r);
            }
        }
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QFile header(kSource);
        QString comment;
        if (header.open(QIODevice::ReadOnly)) {
            for (const QString& line : QString::fromUtf8(header.readAll()).split('\n')) {
                if (!line.startsWith('#')) {
                    break;
                }
                comment += line + '\n';
            }
        }
        f.write(qv::language::formatSource(merged, comment).toUtf8());
    }

    QStringList missing;
    for (const auto& r : captured) {
        if (!hasChinese(r.builtIn)) {
            continue;
        }
        const auto* row = byKey.value(keyOf(r.form, r.component, r.property));
        if (!row || row->text.isEmpty()) {
            missing << QStringLiteral("%1 %2 %3 \"%4\" has no English")
                           .arg(r.form, r.component, r.property, r.builtIn);
        } else if (row->builtIn != r.builtIn) {
            missing << QStringLiteral("%1 %2 %3 is now \"%4\"; line %5 translates \"%6\"")
                           .arg(r.form, r.component, r.property, r.builtIn)
                           .arg(row->line)
                           .arg(row->builtIn);
        } else if (hasChinese(row->text)) {
            missing << QStringLiteral("line %1: the English of \"%2\" is still Chinese")
                           .arg(row->line)
                           .arg(r.builtIn);
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
}

void EnglishTest::everyRowNamesATextThatExists() {
    std::vector<qv::language::SourceRow> captured;
    captureAll(captured);
    QSet<QString> texts;
    QSet<QString> forms;
    for (const auto& r : captured) {
        texts.insert(keyOf(r.form, r.component, r.property));
        forms.insert(r.form);
    }
    QStringList stale;
    for (const auto& r : qv::language::readSource(kSource)) {
        if (r.form == QLatin1String(qv::language::kProgramForm)) {
            continue;  // everyProgramTextHasItsTranslation checks these
        }
        if (r.component == QLatin1String(qv::language::kMessagesComponent)) {
            if (!forms.contains(r.form)) {
                stale << QStringLiteral("line %1: no window %2").arg(r.line).arg(r.form);
            }
            continue;
        }
        if (!texts.contains(keyOf(r.form, r.component, r.property))) {
            stale << QStringLiteral("line %1: %2 %3 %4 does not exist")
                         .arg(r.line)
                         .arg(r.form, r.component, r.property);
        }
    }
    QVERIFY2(stale.isEmpty(), qPrintable(stale.join('\n')));
}

void EnglishTest::windowsShowEnglish() {
    const auto rows = qv::language::storeRows(qv::language::readSource(kSource));
    QCOMPARE(rows.untranslated, 0);
    qv::language::installLanguage(fx.app->file("db/Language.db"),
                                  TFileVersion().GetVersionString("ProductName"), 1033, rows);
    LockSystemInfo.LanguageID = 1033;
    qv::language::loadProgramTexts(1033);  // as the program does at start-up
    QStringList chinese;
    for (const Maker& m : everyWindow(*fx.app)) {
        std::unique_ptr<QWidget> w = m.make();
        w->resize(w->sizeHint().expandedTo(w->size()));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        saveScreenshot(w.get(), QStringLiteral("english_") + m.form);
        for (const auto& r : captureWindow(w.get())) {
            if (hasChinese(r.builtIn)) {
                chinese << QStringLiteral("%1 %2 %3 \"%4\"")
                               .arg(r.form, r.component, r.property, r.builtIn);
            }
        }
        for (const QString& text : visibleTexts(w.get())) {
            if (hasChinese(text)) {
                chinese << QStringLiteral("%1 shows \"%2\"").arg(m.form, text);
            }
        }
        w->close();
        fx.dialogs->clear();
    }
    QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join('\n')));

    // The card kinds are listed in English; the search still goes by the
    // names the database keeps.
    const QDateTime now = qv::Clock::now();
    dm->conn.execute(
        "insert into MakeCardRecord (CardType, Rom, RoomStr, Holder, MakeUser, MakeName, "
        "StartTime, EndTime, enOverride, InputTime) "
        "values (10, 'A1B2C3D4', '', 'Manager', 'desk', 'desk', :at, :until, 0, :at2)",
        {{":at", now}, {":until", now.addDays(30)}, {":at2", now}});
    TMC_R_From cards;
    cards.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cards));
    saveScreenshot(&cards, QStringLiteral("english_MC_R_From_records"));
    const int master = cards.CardType_CB->findText(QStringLiteral("Master card"));
    QVERIFY(master >= 0);
    cards.CardType_CB->setCurrentIndex(master);
    QCOMPARE(cards.Search().cardTitle, QStringLiteral("总卡"));
    // Wherever a card's kind is shown; a title the database holds otherwise
    // shows as it is.
    QCOMPARE(CardTypeText(QStringLiteral("宾客卡")), QStringLiteral("Guest card"));
    QCOMPARE(CardTypeText(QStringLiteral("员工卡")), QStringLiteral("员工卡"));
}

// The built-in texts that the program looks up with qv::programText (or marks
// with qv::programTextKey), read from the sources: the literal of every call
// (adjacent literals joined).
QSet<QString> programTextsInSources() {
    static const QRegularExpression call(QStringLiteral(
        "programText(?:Key)?\\(\\s*QStringLiteral\\(\\s*((?:\"(?:[^\"\\\\]|\\\\.)*\"\\s*)+)\\)"));
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QSet<QString> out;
    // The print library looks its texts up through the program's as well.
    QStringList files;
    for (const char* folder : {QV_SOURCE_DIR "/src", QV_SOURCE_DIR "/plugins"}) {
        QDirIterator it(QString::fromUtf8(folder), {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files << it.next();
        }
    }
    for (const QString& file : files) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString code = QString::fromUtf8(f.readAll());
        for (auto m = call.globalMatch(code); m.hasNext();) {
            QString text;
            for (auto l = literal.globalMatch(m.next().captured(1)); l.hasNext();) {
                text += l.next().captured(1);
            }
            text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
            text.replace(QStringLiteral("\\\""), QStringLiteral("\""));
            text.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
            out.insert(text);
        }
    }
    return out;
}

void EnglishTest::everyProgramTextHasItsTranslation() {
    const QSet<QString> used = programTextsInSources();
    QVERIFY(used.size() > 10);
    QHash<QString, const qv::language::SourceRow*> rows;
    const auto source = qv::language::readSource(kSource);
    for (const auto& r : source) {
        if (r.form == QLatin1String(qv::language::kProgramForm)) {
            rows.insert(r.builtIn, &r);
        }
    }
    QStringList faults;
    for (const QString& text : used) {
        const auto* row = rows.value(text);
        if (!row || row->text.isEmpty() || hasChinese(row->text)) {
            faults << QStringLiteral("\"%1\" has no English").arg(text);
        } else if (row->text.count(QLatin1Char('%')) != text.count(QLatin1Char('%'))) {
            faults << QStringLiteral("line %1: the English of \"%2\" drops or adds a %n")
                          .arg(row->line)
                          .arg(text);
        }
    }
    for (const auto& [text, row] : rows.asKeyValueRange()) {
        if (!used.contains(text)) {
            faults << QStringLiteral("line %1: \"%2\" is no longer a text of the program")
                          .arg(row->line)
                          .arg(text);
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));

    // Loaded from the store, the program's texts follow the language.
    qv::language::installLanguage(fx.app->file("db/Language.db"),
                                  TFileVersion().GetVersionString("ProductName"), 1033,
                                  qv::language::storeRows(source));
    qv::language::loadProgramTexts(1033);
    QCOMPARE(qv::programText(QStringLiteral("确定")), QString("OK"));
    qv::language::loadProgramTexts(2052);
    QCOMPARE(qv::programText(QStringLiteral("确定")), QString("确定"));
}

void EnglishTest::chooseLanguage(int language) {
    if (language == 1033) {
        qv::language::installLanguage(fx.app->file("db/Language.db"),
                                      TFileVersion().GetVersionString("ProductName"), 1033,
                                      qv::language::storeRows(qv::language::readSource(kSource)));
    }
    LockSystemInfo.LanguageID = language;
    qv::language::loadProgramTexts(language);
}

void EnglishTest::everyWindowFitsTheDeskScreen_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << 2052;
    QTest::newRow("English") << 1033;
}

// A front desk's screen is 1,024 by 768 pixels: every window, as it opens,
// fits on it with room for its title bar; the main window, which opens
// maximised, can be made that small.
void EnglishTest::everyWindowFitsTheDeskScreen() {
    QFETCH(int, language);
    chooseLanguage(language);
    constexpr int kScreenWidth = 1024;
    constexpr int kScreenHeight = 768 - 32;  // the title bar
    QStringList tooLarge;
    for (const Maker& m : everyWindow(*fx.app)) {
        std::unique_ptr<QWidget> w = m.make();
        QSize size;
        if (m.form == QLatin1String("MainForm")) {
            size = w->minimumSizeHint();
        } else {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            size = w->size().expandedTo(w->minimumSizeHint());
            saveScreenshot(w.get(), QStringLiteral("size_%1_%2").arg(language).arg(m.form));
        }
        if (size.width() > kScreenWidth || size.height() > kScreenHeight) {
            tooLarge
                << QStringLiteral("%1 is %2 x %3").arg(m.form).arg(size.width()).arg(size.height());
        }
        w->close();
        fx.dialogs->clear();
    }
    QVERIFY2(tooLarge.isEmpty(), qPrintable(tooLarge.join('\n')));
}

void EnglishTest::everyWindowsKeyboardPath_data() {
    everyWindowFitsTheDeskScreen_data();
}

// The keyboard path of every window: each Tab moves the focus to another
// control (a date or time box is one stop), Enter on a focused button
// presses that button, a record grid's current cell is in a column that
// shows, and a password box echoes '*'.
void EnglishTest::everyWindowsKeyboardPath() {
    QFETCH(int, language);
    chooseLanguage(language);
    QStringList faults;
    int tabs = 0;
    int buttons = 0;
    int pickers = 0;
    for (const Maker& m : everyWindow(*fx.app)) {
        std::unique_ptr<QWidget> w = m.make();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        fx.dialogs->clear();

        QList<QWidget*> stops;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->isVisibleTo(w.get()) && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus) &&
                !c->focusProxy()) {
                stops << c;
            }
        }
        if (stops.size() > 1) {
            QWidget* start = QApplication::focusWidget();
            for (int i = 0; start && i < std::min<int>(stops.size() + 2, 40); ++i) {
                QWidget* before = QApplication::focusWidget();
                pickers += qobject_cast<QDateTimeEdit*>(before) ? 1 : 0;
                QTest::keyClick(before, Qt::Key_Tab);
                ++tabs;
                QWidget* after = QApplication::focusWidget();
                if (after == before) {
                    faults
                        << QStringLiteral("%1: Tab stays on %2").arg(m.form, before->objectName());
                    break;
                }
                if (!after || after->window() != w.get()) {
                    break;
                }
            }
        }

        for (QTableView* grid : w->findChildren<QTableView*>()) {
            if (!grid->isVisibleTo(w.get()) || !grid->model() || grid->model()->rowCount() == 0) {
                continue;
            }
            grid->setFocus();
            if (grid->currentIndex().isValid() &&
                grid->isColumnHidden(grid->currentIndex().column())) {
                faults << QStringLiteral("%1: %2's current cell is hidden")
                              .arg(m.form, grid->objectName());
            }
        }

        for (QLineEdit* edit : w->findChildren<QLineEdit*>()) {
            if (edit->echoMode() == QLineEdit::Password) {
                edit->setText(QStringLiteral("abc"));
                if (edit->displayText() != QLatin1String("***")) {
                    faults << QStringLiteral("%1: %2 shows \"%3\"")
                                  .arg(m.form, edit->objectName(), edit->displayText());
                }
                edit->clear();
            }
        }

        // The buttons' own handlers are taken off first: only the press counts.
        for (QPushButton* button : w->findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(w.get()) || !button->isEnabled() ||
                button->window() != w.get()) {
                continue;
            }
            QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
            QObject::disconnect(button, &QAbstractButton::pressed, nullptr, nullptr);
            QObject::disconnect(button, &QAbstractButton::released, nullptr, nullptr);
            int presses = 0;
            QObject::connect(button, &QAbstractButton::clicked, [&presses] { ++presses; });
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
            ++buttons;
            if (presses != 1) {
                faults << QStringLiteral("%1: Enter on %2 presses it %3 times")
                              .arg(m.form, button->objectName())
                              .arg(presses);
            }
        }
        w->close();
        fx.dialogs->clear();
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    // The walk met the windows' controls, date boxes and buttons.
    QVERIFY2(tabs > 100 && pickers > 5 && buttons > 40,
             qPrintable(QStringLiteral("%1 tabs, %2 on date boxes, %3 buttons")
                            .arg(tabs)
                            .arg(pickers)
                            .arg(buttons)));
}

QTEST_MAIN(EnglishTest)
#include "tst_english.moc"
