#include "operators/ChangePassword_Unit.h"

#include "data/Operators.h"
#include "data/Session.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TChangePassword_Form::TChangePassword_Form(QWidget* parent)
    : qv::Form(QStringLiteral("ChangePassword_Form"), QStringLiteral("修改口令"), parent,
               Options{true, true, CaptureTexts::Fixed}) {
    Label1 = qv::make<QLabel>(QStringLiteral("Label1"), QStringLiteral("输入当前口令："), this);
    OldPassword_Edit = qv::make<QLineEdit>(QStringLiteral("OldPassword_Edit"), this);
    Label2 = qv::make<QLabel>(QStringLiteral("Label2"), QStringLiteral("输入新口令："), this);
    NewPassword_Edit = qv::make<QLineEdit>(QStringLiteral("NewPassword_Edit"), this);
    Label3 = qv::make<QLabel>(QStringLiteral("Label3"), QStringLiteral("确认新口令："), this);
    RepeatNewPassword_Edit = qv::make<QLineEdit>(QStringLiteral("RepeatNewPassword_Edit"), this);
    // As long as the logon takes them: a shorter limit would lock out a longer password.
    for (QLineEdit* e : {OldPassword_Edit, NewPassword_Edit, RepeatNewPassword_Edit}) {
        e->setEchoMode(QLineEdit::Password);
        e->setMinimumWidth(180);
    }
    Label1->setBuddy(OldPassword_Edit);
    Label2->setBuddy(NewPassword_Edit);
    Label3->setBuddy(RepeatNewPassword_Edit);
    Ok_Bt = qv::make<QPushButton>(QStringLiteral("Ok_Bt"), QStringLiteral("确  定(&O)"), this);
    Ok_Bt->setDefault(true);

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0, Qt::AlignRight);
    fields->addWidget(OldPassword_Edit, 0, 1);
    fields->addWidget(Label2, 1, 0, Qt::AlignRight);
    fields->addWidget(NewPassword_Edit, 1, 1);
    fields->addWidget(Label3, 2, 0, Qt::AlignRight);
    fields->addWidget(RepeatNewPassword_Edit, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok_Bt);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 12);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QWidget* w :
         {static_cast<QWidget*>(Label2), static_cast<QWidget*>(NewPassword_Edit),
          static_cast<QWidget*>(Label3), static_cast<QWidget*>(RepeatNewPassword_Edit)}) {
        w->hide();
    }
    connect(Ok_Bt, &QPushButton::clicked, this, qv::slot(this, &TChangePassword_Form::Ok_BtClick));
    FormCreate();
    OldPassword_Edit->setFocus();
}

TChangePassword_Form::~TChangePassword_Form() = default;

void TChangePassword_Form::Ok_BtClick() {
    if (!Label1->isHidden()) {
        if (!qv::verifyOperatorPassword(qv::session().login, OldPassword_Edit->text().trimmed(),
                                        &verified_)) {
            qv::messageBox(qv::noticeTitle(), message(0, QStringLiteral("旧密码不符！")),
                           qv::Icon::Error);
            return;
        }
        Label1->hide();
        OldPassword_Edit->hide();
        for (QWidget* w :
             {static_cast<QWidget*>(Label2), static_cast<QWidget*>(NewPassword_Edit),
              static_cast<QWidget*>(Label3), static_cast<QWidget*>(RepeatNewPassword_Edit)}) {
            w->show();
        }
        NewPassword_Edit->setFocus();
        return;
    }
    const QString fresh = NewPassword_Edit->text().trimmed();
    const QString repeated = RepeatNewPassword_Edit->text().trimmed();
    if (fresh != repeated) {
        qv::messageBox(qv::noticeTitle(), message(1, QStringLiteral("两次新密码不符！")),
                       qv::Icon::Error);
        return;
    }
    if (repeated.isEmpty()) {
        // An empty password would lock the operator out at the next logon.
        qv::messageBox(qv::noticeTitle(), message(4, QStringLiteral("密码不能为空！")),
                       qv::Icon::Error);
        NewPassword_Edit->setFocus();
        return;
    }
    if (!qv::changeOperatorPassword(qv::session().login, verified_, repeated)) {
        qv::messageBox(qv::noticeTitle(),
                       message(3, QStringLiteral("口令已在别处修改，请重新输入当前口令。")),
                       qv::Icon::Error);
        reject();
        return;
    }
    qv::messageBox(qv::noticeTitle(), message(2, QStringLiteral("密码修改成功!")),
                   qv::Icon::Information);
    accept();
}
