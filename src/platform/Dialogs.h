#pragma once

#include <QString>

namespace qv {

enum class Icon { None, Information, Warning, Error, Question, Stop };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Every message box, input box and file dialog of the program goes through
// this service. The program installs the Qt implementation; tests install
// TestDialogs, which records each box and answers from a script. No window
// calls QMessageBox or QFileDialog itself.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual Answer message(const QString& title, const QString& text, Icon icon,
                           Buttons buttons) = 0;
    // An input box: true with the typed text in `value` on OK, false on Cancel.
    virtual bool input(const QString& title, const QString& prompt, QString& value,
                       bool password = false) = 0;
    // File dialogs: true with the chosen path, false when cancelled.
    virtual bool openFile(const QString& title, const QString& filter, QString& path) = 0;
    virtual bool saveFile(const QString& title, const QString& filter, QString& path) = 0;
};

// The installed service. Without one, boxes are written to standard error and
// answered with Cancel, so a library used without a user interface never hangs.
Dialogs& dialogs();
// Installs `service` (not owned) and returns the previous one; nullptr uninstalls.
Dialogs* setDialogs(Dialogs* service);

// Short forms of the boxes the system shows most.
Answer messageBox(const QString& title, const QString& text, Icon icon = Icon::None,
                  Buttons buttons = Buttons::Ok);
// A plain message titled with the application's title, no icon, OK only.
void showMessage(const QString& text);
// The default error display: the application's title, the error icon, OK.
void showError(const QString& text);

}  // namespace qv
