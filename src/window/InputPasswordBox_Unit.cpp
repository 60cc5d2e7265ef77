#include "window/InputPasswordBox_Unit.h"

#include "platform/Guard.h"
#include "platform/Named.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TInputPasswordBox::TInputPasswordBox(QWidget* parent)
    : qv::Form(QStringLiteral("InputPasswordBox"), QStringLiteral("MyInputBox"), parent,
               Options{true, true, CaptureTexts::Fixed}) {
    Prompt_Label =
        qv::make<QLabel>(QStringLiteral("Prompt_Label"), QStringLiteral("请再次输入口令："), this);
    Input_MaskEdit = qv::make<QLineEdit>(QStringLiteral("Input_MaskEdit"), this);
    Input_MaskEdit->setEchoMode(QLineEdit::Password);
    Prompt_Label->setBuddy(Input_MaskEdit);
    Confirm_Bt = qv::make<QPushButton>(QStringLiteral("Confirm_Bt"), QStringLiteral("确定"), this);
    Confirm_Bt->setDefault(true);
    Cancel_Bt = qv::make<QPushButton>(QStringLiteral("Cancel_Bt"), QStringLiteral("取消"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Confirm_Bt);
    buttons->addWidget(Cancel_Bt);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Prompt_Label);
    layout->addWidget(Input_MaskEdit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Input_MaskEdit->setMinimumWidth(220);

    connect(Confirm_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TInputPasswordBox::Confirm_BtClick));
    connect(Cancel_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TInputPasswordBox::Cancel_BtClick));
    FormCreate();
}

void TInputPasswordBox::Confirm_BtClick() {
    accept();
}
void TInputPasswordBox::Cancel_BtClick() {
    reject();
}
