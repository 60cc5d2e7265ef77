#include "app/InputPasswordBox_Unit.h"

#include "settings/Settings.h"
#include "language/FormKeys.h"
#include "language/Language.h"
#include "platform/Guard.h"
#include "platform/KeyPreview.h"
#include "platform/Named.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TInputPasswordBox::TInputPasswordBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("InputPasswordBox"));
    setWindowTitle(QStringLiteral("MyInputBox"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

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

    Language1 = new TLanguage(this);
    Language1->SetLanguageID(LockSystemInfo.LanguageID);
    if (LockSystemInfo.Loaded) {
        Language1->Translate();
    }
    qv::KeyPreview::install(this, [this](QKeyEvent* e) { return FormKeyDown(e); });
}

void TInputPasswordBox::Confirm_BtClick() {
    accept();
}
void TInputPasswordBox::Cancel_BtClick() {
    reject();
}

bool TInputPasswordBox::FormKeyDown(QKeyEvent* event) {
    return CaptureModeKeyDown(this, Language1, event);
}
