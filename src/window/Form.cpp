#include "window/Form.h"

#include "data/OperationLog.h"
#include "data/dm_unit.h"
#include "language/FormKeys.h"
#include "language/Language.h"
#include "platform/KeyPreview.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace qv {

void applyLanguage(TLanguage* language) {
    language->SetLanguageID(LockSystemInfo.LanguageID);
    if (LockSystemInfo.Loaded) {
        language->Translate();
    }
}

namespace {

// Enter on a button with the focus presses that button, whatever the
// window's default button is (a dialog would press its default button when
// the focused one is not one of its own defaults).
bool pressFocusedButton(QWidget* window, QKeyEvent* e) {
    if ((e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) ||
        (e->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || e->isAutoRepeat()) {
        return false;
    }
    auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (!button || button->window() != window || !button->isVisible() || !button->isEnabled()) {
        return false;
    }
    button->click();
    return true;
}

}  // namespace

void installFormKeys(QWidget* window, TLanguage* language, FormKeys keys) {
    // A capture of a window's texts into the language store is written to
    // the operations log.
    static const bool observing = [] {
        setCaptureObserver([](QWidget* form) {
            if (dm && dm->conn.isOpen()) {
                oplog::appendOperation(dm->conn,
                                       {QLatin1String(oplog::Actions::CaptureMode),
                                        form ? form->objectName() : QString(), QString()});
            }
        });
        return true;
    }();
    Q_UNUSED(observing);
    KeyPreview::install(window, [window, language, keys = std::move(keys)](QKeyEvent* e) {
        if (keys.ownKeys && keys.ownKeys(e)) {
            return true;
        }
        if (keys.onEscape && e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
            keys.onEscape();
            return true;
        }
        if (pressFocusedButton(window, e)) {
            return true;
        }
        return CaptureModeKeyDown(window, language, e, keys.captureTexts);
    });
}

void echoPasswordsAsStars(QWidget* window) {
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        if (edit->echoMode() == QLineEdit::Password ||
            edit->echoMode() == QLineEdit::PasswordEchoOnEdit) {
            edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        }
    }
}

Form::Form(const QString& name, const QString& caption, QWidget* parent)
    : Form(name, caption, parent, Options{}) {}

Form::Form(const QString& name, const QString& caption, QWidget* parent, Options options)
    : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    Qt::WindowFlags flags =
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (options.fixedSize) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    setWindowFlags(flags);
    Language1 = new TLanguage(this);
    FormKeys keys;
    keys.ownKeys = [this](QKeyEvent* e) { return FormKeyDown(e); };
    if (options.escCloses) {
        keys.onEscape = [this] { reject(); };
    } else {
        keys.onEscape = [] {};  // the dialog's own Esc would close it
    }
    keys.captureTexts = options.captureTexts;
    installFormKeys(this, Language1, std::move(keys));
}

Form::~Form() = default;

void Form::FormCreate() {
    applyLanguage(Language1);
    echoPasswordsAsStars(this);
}

bool Form::FormKeyDown(QKeyEvent*) {
    return false;
}

QString Form::message(int index, const QString& text) const {
    return Language1->GetVariable(index, text);
}

}  // namespace qv
