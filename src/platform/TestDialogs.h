#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace qv {

// One box the program showed.
struct Box {
    enum class Kind { Message, Input, OpenFile, SaveFile };
    Kind kind = Kind::Message;
    QString title;
    QString text;  // message text, input prompt, or file dialog title
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

// The test implementation: records every box and answers from a script.
// Scripted replies are used in order; without one, a message is answered with
// its first button (OK or Yes) and an input box or file dialog is cancelled.
// Installed for its lifetime; the previous service comes back afterwards.
class TestDialogs final : public Dialogs {
public:
    TestDialogs();
    ~TestDialogs() override;
    TestDialogs(const TestDialogs&) = delete;
    TestDialogs& operator=(const TestDialogs&) = delete;

    void answer(Answer a);                  // next message box
    void answerInput(const QString& text);  // next input box: OK with text
    void cancelInput();                     // next input box: Cancel
    void answerFile(const QString& path);   // next file dialog
    // Called when a box is shown, before it is answered (e.g. to inspect a window).
    std::function<void(const Box&)> onShow;

    const QList<Box>& boxes() const { return boxes_; }
    QStringList texts() const;
    Box last() const { return boxes_.isEmpty() ? Box{} : boxes_.last(); }
    void clear() { boxes_.clear(); }
    int pendingReplies() const { return static_cast<int>(replies_.size()); }

    Answer message(const QString& title, const QString& text, Icon icon, Buttons buttons) override;
    bool input(const QString& title, const QString& prompt, QString& value, bool password) override;
    bool openFile(const QString& title, const QString& filter, QString& path) override;
    bool saveFile(const QString& title, const QString& filter, QString& path) override;

private:
    struct Reply {
        Box::Kind kind;
        Answer answer = Answer::Ok;
        bool accepted = true;
        QString text;
    };
    bool takeReply(Box::Kind kind, Reply& out);
    void record(const Box& box);

    QList<Box> boxes_;
    QList<Reply> replies_;
    Dialogs* previous_ = nullptr;
};

}  // namespace qv
