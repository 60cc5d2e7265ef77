#include "platform/Dialogs.h"

#include "platform/Application.h"

#include <cstdio>

namespace qv {
namespace {

class ConsoleDialogs final : public Dialogs {
public:
    Answer message(const QString& title, const QString& text, Icon, Buttons) override {
        std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(title), qUtf8Printable(text));
        return Answer::Cancel;
    }
    bool input(const QString& title, const QString& prompt, QString&, bool) override {
        std::fprintf(stderr, "[%s] %s (no input possible)\n", qUtf8Printable(title),
                     qUtf8Printable(prompt));
        return false;
    }
    bool openFile(const QString&, const QString&, QString&) override { return false; }
    bool saveFile(const QString&, const QString&, QString&) override { return false; }
};

ConsoleDialogs g_console;
Dialogs* g_dialogs = nullptr;

}  // namespace

Dialogs& dialogs() {
    return g_dialogs ? *g_dialogs : g_console;
}

Dialogs* setDialogs(Dialogs* service) {
    Dialogs* previous = g_dialogs;
    g_dialogs = service;
    return previous;
}

Answer messageBox(const QString& title, const QString& text, Icon icon, Buttons buttons) {
    return dialogs().message(title, text, icon, buttons);
}

void showMessage(const QString& text) {
    dialogs().message(applicationTitle(), text, Icon::None, Buttons::Ok);
}

void showError(const QString& text) {
    dialogs().message(applicationTitle(), text, Icon::Error, Buttons::Ok);
}

}  // namespace qv
