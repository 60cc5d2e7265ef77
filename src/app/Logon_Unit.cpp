#include "app/Logon_Unit.h"

#include "window/InputPasswordBox_Unit.h"
#include "data/Operators.h"
#include "data/Session.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

TLogonForm::TLogonForm(QWidget* parent)
    : qv::Form(QStringLiteral("LogonForm"), QStringLiteral("登陆"), parent,
               Options{true, true, CaptureTexts::Fixed}) {
    Title_Label = qv::make<QLabel>(QStringLiteral("Title_Label"), QStringLiteral("Quorvane"), this);
    // The title is Latin: without the calligraphic 隶书 it is drawn in a
    // Latin serif face rather than in a CJK family (a large face of its own
    // to load for eight letters).
    QFont titleFont;
    titleFont.setFamilies(qv::installedFamilies(
        {QStringLiteral("隶书"), QStringLiteral("LiSu"), QStringLiteral("STLiti"),
         QStringLiteral("DejaVu Serif"), QStringLiteral("Liberation Serif"),
         QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")}));
    titleFont.setPixelSize(24);
    titleFont.setBold(true);
    Title_Label->setFont(titleFont);
    QPalette titlePalette = Title_Label->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::blue);
    Title_Label->setPalette(titlePalette);
    Title_Label->setAlignment(Qt::AlignCenter);

    FirstRun_Label =
        qv::make<QLabel>(QStringLiteral("FirstRun_Label"),
                         QStringLiteral("系统初次使用，请设定系统管理员和登陆口令"), this);
    FirstRun_Label->setWordWrap(true);
    FirstRun_Label->hide();

    Operator_Label =
        qv::make<QLabel>(QStringLiteral("Operator_Label"), QStringLiteral("操作员："), this);
    LoginCode_Edit = qv::make<QLineEdit>(QStringLiteral("LoginCode_Edit"), this);
    Operator_Label->setBuddy(LoginCode_Edit);
    Pass_Label = qv::make<QLabel>(QStringLiteral("Pass_Label"), QStringLiteral("密  码："), this);
    SystemLogin_Pas = qv::make<QLineEdit>(QStringLiteral("SystemLogin_Pas"), this);
    SystemLogin_Pas->setEchoMode(QLineEdit::Password);
    Pass_Label->setBuddy(SystemLogin_Pas);

    Ok_Bt = qv::make<QPushButton>(QStringLiteral("Ok_Bt"), QStringLiteral("登  陆"), this);
    Ok_Bt->setDefault(true);
    Close_Bt = qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("退  出"), this);
    Close_Bt->hide();

    auto* fields = new QGridLayout;
    fields->addWidget(Operator_Label, 0, 0, Qt::AlignRight);
    fields->addWidget(LoginCode_Edit, 0, 1);
    fields->addWidget(Pass_Label, 1, 0, Qt::AlignRight);
    fields->addWidget(SystemLogin_Pas, 1, 1);
    LoginCode_Edit->setMinimumWidth(200);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok_Bt);
    buttons->addWidget(Close_Bt);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->setSpacing(10);
    layout->addWidget(Title_Label);
    layout->addWidget(FirstRun_Label);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(LoginCode_Edit, SystemLogin_Pas);
    setTabOrder(SystemLogin_Pas, Ok_Bt);

    connect(Ok_Bt, &QPushButton::clicked, this, qv::slot(this, &TLogonForm::Ok_BtClick));
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
    LoginCode_Edit->setFocus();
}

void TLogonForm::FormCreate() {
    qv::Form::FormCreate();
    if (qv::noOperators()) {
        firstRun_ = true;
        FirstRun_Label->show();
        Title_Label->hide();
        Operator_Label->setText(message(0, QStringLiteral("请设定用户名：")));
        Pass_Label->setText(message(1, QStringLiteral("请设定口令：")));
        Ok_Bt->setText(message(2, QStringLiteral("确定")));
    }
}

void TLogonForm::Ok_BtClick() {
    if (firstRun_) {
        createFirstOperator();
    } else {
        logOn();
    }
}

void TLogonForm::logOn() {
    QString refused;
    std::optional<qv::Session> session = qv::logOn(LoginCode_Edit->text(), SystemLogin_Pas->text(),
                                                   qv::LogOnKind::Operator, &refused);
    if (!session) {
        // A locked login is told so, on every desk, whatever the password.
        qv::messageBox(
            message(3, QStringLiteral("提示")),
            refused.isEmpty() ? message(4, QStringLiteral("错误的用户名或密码！")) : refused,
            qv::Icon::Error);
        SystemLogin_Pas->setFocus();
        SystemLogin_Pas->selectAll();
        return;
    }
    qv::session() = std::move(*session);
    accept();
}

void TLogonForm::createFirstOperator() {
    // The administrator needs a name to log on with and a password.
    if (LoginCode_Edit->text().trimmed().isEmpty()) {
        qv::showMessage(qv::programText(QStringLiteral("请输入用户名！")));
        LoginCode_Edit->setFocus();
        return;
    }
    if (SystemLogin_Pas->text().isEmpty()) {
        qv::showMessage(qv::programText(QStringLiteral("请输入口令！")));
        SystemLogin_Pas->setFocus();
        return;
    }
    {
        TInputPasswordBox box(this);
        if (box.exec() != QDialog::Accepted) {
            return;
        }
        if (box.Input_MaskEdit->text() != SystemLogin_Pas->text()) {
            qv::showMessage(qv::programText(QStringLiteral("两次密码不符！")));
            return;
        }
    }
    qv::session() =
        *qv::logOn(LoginCode_Edit->text(), SystemLogin_Pas->text(), qv::LogOnKind::FirstOperator);
    accept();
}
