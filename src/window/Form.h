#pragma once

#include "language/FormKeys.h"

#include <QDialog>
#include <QString>
#include <functional>

class QKeyEvent;
class TLanguage;

namespace qv {

// What every window of the program has in common, the main window included:
// its `Language1`, applied from the settings, and the key preview that gives
// the window's own keys the first look, then closes it on Esc and finally
// offers the capture mode of the language store (Ctrl+Shift+F12, or
// Ctrl+Alt+F12 where the keyboard delivers it).

// Gives `language` the operator's language and, once the settings are loaded,
// applies the store's texts to its window.
void applyLanguage(TLanguage* language);

// The key preview of a window: `ownKeys` sees each key first (true consumes
// it); then Esc without modifiers runs `onEscape` when there is one; then the
// capture-mode key. Every step runs inside the handler guard.
struct FormKeys {
    std::function<bool(QKeyEvent*)> ownKeys;
    std::function<void()> onEscape;
    CaptureTexts captureTexts = CaptureTexts::Fixed;
};
// Between Esc and the capture-mode key, Enter on a push button that has the
// focus presses it.
void installFormKeys(QWidget* window, TLanguage* language, FormKeys keys);

// Password boxes of `window` show a '*' for each character typed.
void echoPasswordsAsStars(QWidget* window);

// The window base: a modal dialog with the window's name and caption, its
// `Language1`, the key preview and the window's numbered message lines.
//
// A window derives from it, builds its widgets and connects its handlers in
// its constructor and calls FormCreate() last. It overrides FormCreate() for
// its own creation steps (calling Form::FormCreate() first) and FormKeyDown()
// for its own keys.
class Form : public QDialog {
    Q_OBJECT
public:
    ~Form() override;

    TLanguage* Language1;

    // Message line `index` of the window's language rows, or `text`.
    QString message(int index, const QString& text) const;

protected:
    struct Options {
        bool escCloses = true;   // Esc rejects the window
        bool fixedSize = false;  // the window keeps the size of its layout
        CaptureTexts captureTexts = CaptureTexts::Fixed;
    };
    Form(const QString& name, const QString& caption, QWidget* parent);
    Form(const QString& name, const QString& caption, QWidget* parent, Options options);

    // Applies the language store to the window (its components must exist)
    // and lets its password boxes echo '*'.
    virtual void FormCreate();
    // The window's own keys, seen before its controls. True consumes the key;
    // the base then handles Esc and the capture-mode key.
    virtual bool FormKeyDown(QKeyEvent* event);
};

}  // namespace qv
