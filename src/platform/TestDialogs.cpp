#include "platform/TestDialogs.h"

namespace qv {

TestDialogs::TestDialogs() : previous_(setDialogs(this)) {}
TestDialogs::~TestDialogs() {
    setDialogs(previous_);
}

void TestDialogs::answer(Answer a) {
    replies_.append({Box::Kind::Message, a, true, {}});
}
void TestDialogs::answerInput(const QString& text) {
    replies_.append({Box::Kind::Input, Answer::Ok, true, text});
}
void TestDialogs::cancelInput() {
    replies_.append({Box::Kind::Input, Answer::Cancel, false, {}});
}
void TestDialogs::answerFile(const QString& path) {
    replies_.append({Box::Kind::OpenFile, Answer::Ok, !path.isEmpty(), path});
}

QStringList TestDialogs::texts() const {
    QStringList out;
    for (const Box& b : boxes_) {
        out << b.text;
    }
    return out;
}

bool TestDialogs::takeReply(Box::Kind kind, Reply& out) {
    const bool file = kind == Box::Kind::OpenFile || kind == Box::Kind::SaveFile;
    for (qsizetype i = 0; i < replies_.size(); ++i) {
        const Box::Kind k = replies_[i].kind;
        if (k == kind || (file && k == Box::Kind::OpenFile)) {
            out = replies_.takeAt(i);
            return true;
        }
    }
    return false;
}

void TestDialogs::record(const Box& box) {
    boxes_.append(box);
    if (onShow) {
        onShow(box);
    }
}

Answer TestDialogs::message(const QString& title, const QString& text, Icon icon, Buttons buttons) {
    record({Box::Kind::Message, title, text, icon, buttons});
    Reply r;
    if (takeReply(Box::Kind::Message, r)) {
        return r.answer;
    }
    return (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) ? Answer::Yes
                                                                          : Answer::Ok;
}

bool TestDialogs::input(const QString& title, const QString& prompt, QString& value, bool) {
    record({Box::Kind::Input, title, prompt, Icon::None, Buttons::OkCancel});
    Reply r;
    if (!takeReply(Box::Kind::Input, r) || !r.accepted) {
        return false;
    }
    value = r.text;
    return true;
}

bool TestDialogs::openFile(const QString& title, const QString&, QString& path) {
    record({Box::Kind::OpenFile, title, title, Icon::None, Buttons::OkCancel});
    Reply r;
    if (!takeReply(Box::Kind::OpenFile, r) || !r.accepted) {
        return false;
    }
    path = r.text;
    return true;
}

bool TestDialogs::saveFile(const QString& title, const QString&, QString& path) {
    record({Box::Kind::SaveFile, title, title, Icon::None, Buttons::OkCancel});
    Reply r;
    if (!takeReply(Box::Kind::SaveFile, r) || !r.accepted) {
        return false;
    }
    path = r.text;
    return true;
}

}  // namespace qv
