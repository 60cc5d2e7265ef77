#include "window/Form.h"

#include "language/Language.h"
#include "platform/KeyPreview.h"
#include "settings/Settings.h"

#include <QKeyEvent>

namespace qv {

void applyLanguage(TLanguage* language) {
    language->SetLanguageID(LockSystemInfo.LanguageID);
    if (LockSystemInfo.Loaded) {
        language->Translate();
    }
}

void installFormKeys(QWidget* window, TLanguage* language, FormKeys keys) {
    KeyPreview::install(window, [window, language, keys = std::move(keys)](QKeyEvent* e) {
        if (keys.ownKeys && keys.ownKeys(e)) {
            return true;
        }
        if (keys.onEscape && e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
            keys.onEscape();
            return true;
        }
        return CaptureModeKeyDown(window, language, e, keys.captureTexts);
    });
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
}

bool Form::FormKeyDown(QKeyEvent*) {
    return false;
}

QString Form::message(int index, const QString& text) const {
    return Language1->GetVariable(index, text);
}

}  // namespace qv
