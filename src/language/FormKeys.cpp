#include "language/FormKeys.h"

#include "language/Language.h"
#include "platform/Dialogs.h"

#include <QKeyEvent>
#include <QWidget>

namespace {

const QString kAccessCode = QStringLiteral("plumb");

}  // namespace

bool CaptureModeKeyDown(QWidget* form, TLanguage* language, QKeyEvent* event, CaptureTexts texts) {
    if (!event || event->key() != Qt::Key_F12 ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) !=
            (Qt::ControlModifier | Qt::AltModifier)) {
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
    }
    return true;
}
