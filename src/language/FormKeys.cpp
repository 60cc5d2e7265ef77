#include "language/FormKeys.h"

#include "language/Language.h"
#include "platform/Dialogs.h"

#include <QKeyEvent>
#include <QWidget>

namespace {

const QString kAccessCode = QStringLiteral("plumb");

// The key sym that the standard X keyboard map gives Ctrl+Alt+F12
// (XF86XK_Switch_VT_12): Qt has no key for it.
constexpr quint32 kSwitchVt12 = 0x1008FE0C;

}  // namespace

bool isCaptureModeKey(const QKeyEvent* event) {
    if (!event) {
        return false;
    }
    const Qt::KeyboardModifiers held =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    if (event->key() == Qt::Key_F12) {
        return held == (Qt::ControlModifier | Qt::AltModifier) ||
               held == (Qt::ControlModifier | Qt::ShiftModifier);
    }
    // Ctrl+Alt+F12 where the X server hands it on as the console switch.
    return event->nativeVirtualKey() == kSwitchVt12 &&
           (held & (Qt::ControlModifier | Qt::AltModifier)) ==
               (Qt::ControlModifier | Qt::AltModifier);
}

namespace {
std::function<void(QWidget*)>& captureObserver() {
    static std::function<void(QWidget*)> observer;
    return observer;
}
}  // namespace

void setCaptureObserver(std::function<void(QWidget* form)> observer) {
    captureObserver() = std::move(observer);
}

bool CaptureModeKeyDown(QWidget* form, TLanguage* language, QKeyEvent* event, CaptureTexts texts) {
    if (!isCaptureModeKey(event)) {
        return false;
    }
    if (!form || !language) {
        return false;
    }
    QString questionTitle = QStringLiteral("提示");
    QString question = QStringLiteral("文件不存在，请重新选择！");
    QString inputTitle = QStringLiteral("验证 ");
    QString prompt = QStringLiteral("请输入验证码:");
    if (texts == CaptureTexts::FromVariable) {
        // A store without the lines still gives readable boxes.
        questionTitle = language->GetVariable(13, questionTitle);
        question = language->GetVariable(13, question);
        inputTitle = language->GetVariable(14, inputTitle);
        prompt = language->GetVariable(14, prompt);
    }
    if (qv::messageBox(questionTitle, question, qv::Icon::Warning, qv::Buttons::OkCancel) !=
        qv::Answer::Ok) {
        return true;
    }
    QString code;
    if (qv::dialogs().input(inputTitle, prompt, code, /*password=*/true) && code == kAccessCode) {
        language->CaptureForm();
        if (captureObserver()) {
            captureObserver()(form);
        }
    }
    return true;
}
