#include "main/About_Unit.h"

#include "language/ComponentText.h"

#include "card/Encoder.h"
#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/IniFile.h"
#include "platform/Named.h"
#include "settings/Settings.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kEncoderSnPrefix = QStringLiteral("发卡机编号： ");
const QString kNotConnected = QStringLiteral("发卡机不联机");

// The portrait beside the texts: a key card before the night-blue door of a room.
QPixmap portrait() {
    QPixmap pixmap(131, 297);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 297);
    sky.setColorAt(0, QColor(0x1d, 0x2b, 0x53));
    sky.setColorAt(1, QColor(0x3a, 0x7c, 0xa5));
    p.fillRect(pixmap.rect(), sky);
    // The door with its lock.
    p.setPen(QPen(QColor(0xd8, 0xc9, 0x9b), 2));
    p.setBrush(QColor(0x6b, 0x3e, 0x26));
    p.drawRoundedRect(QRectF(28, 40, 75, 200), 4, 4);
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawRoundedRect(QRectF(84, 120, 12, 40), 3, 3);
    p.setBrush(QColor(0x2e, 0xcc, 0x71));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(90, 128), 2.5, 2.5);
    // The card.
    p.save();
    p.translate(62, 205);
    p.rotate(-18);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0xf3, 0x9c, 0x12));
    p.drawRoundedRect(QRectF(-30, -19, 60, 38), 5, 5);
    p.setBrush(QColor(0xff, 0xe0, 0x8a));
    p.drawRect(QRectF(-22, -9, 12, 10));
    p.restore();
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 258, 131, 30), Qt::AlignCenter, QStringLiteral("Quorvane"));
    return pixmap;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : qv::Form(QStringLiteral("AboutForm"), QStringLiteral("AboutForm"), parent,
               {.escCloses = false, .fixedSize = true}) {
    Panel1 = qv::make<QFrame>(QStringLiteral("Panel1"), this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image3 = qv::make<QLabel>(QStringLiteral("Image3"), QString(), Panel1);
    Image3->setPixmap(portrait());
    Image3->setFixedSize(131, 297);
    auto* imageLayout = new QVBoxLayout(Panel1);
    imageLayout->setContentsMargins(2, 2, 2, 2);
    imageLayout->addWidget(Image3);

    Panel2 = qv::make<QFrame>(QStringLiteral("Panel2"), this);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ProductName = qv::make<QLabel>(QStringLiteral("ProductName"),
                                   QStringLiteral("Quorvane 门锁管理系统"), Panel2);
    QFont title;
    title.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                       QStringLiteral("Noto Sans CJK SC")});
    title.setPixelSize(21);
    title.setBold(true);
    ProductName->setFont(title);
    ProductName->setStyleSheet(QStringLiteral("color: olive;"));
    Version_L = qv::make<QLabel>(QStringLiteral("Version_L"), QString(), Panel2);
    EncoderSn_Label = qv::make<QLabel>(QStringLiteral("EncoderSn_Label"), kEncoderSnPrefix, Panel2);
    CardType_Label = qv::make<QLabel>(QStringLiteral("CardType_Label"), QString(), Panel2);
    for (QLabel* l : {ProductName, Version_L, EncoderSn_Label, CardType_Label}) {
        l->setAlignment(Qt::AlignCenter);
    }
    Label2 = qv::make<QLabel>(QStringLiteral("Label2"), QStringLiteral("销售商："), Panel2);
    Label2->hide();
    qv::language::markRuntimeText(EncoderSn_Label);
    qv::language::markRuntimeText(CardType_Label);
    Company_Label = qv::make<QLabel>(QStringLiteral("Company_Label"), QString(), Panel2);
    Web_Label = qv::make<QLabel>(QStringLiteral("Web_Label"), QString(), Panel2);
    Web_Label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3 = qv::make<QLabel>(QStringLiteral("Label3"), QString(), Panel2);
    Label5 = qv::make<QLabel>(QStringLiteral("Label5"), QString(), Panel2);
    Button1 = qv::make<QPushButton>(QStringLiteral("Button1"), Panel2);
    for (QWidget* w : std::initializer_list<QWidget*>{Label3, Label5, Button1}) {
        w->hide();
    }
    OKButton = qv::make<QPushButton>(QStringLiteral("OKButton"), QStringLiteral("关  闭"), Panel2);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout(Panel2);
    texts->setContentsMargins(18, 18, 18, 14);
    texts->setSpacing(10);
    texts->addWidget(ProductName);
    texts->addWidget(Version_L);
    texts->addSpacing(12);
    texts->addWidget(EncoderSn_Label);
    texts->addWidget(CardType_Label);
    texts->addStretch();
    auto* dealer = new QHBoxLayout;
    dealer->addWidget(Label2);
    auto* dealerTexts = new QVBoxLayout;
    dealerTexts->addWidget(Company_Label);
    dealerTexts->addWidget(Web_Label);
    dealer->addLayout(dealerTexts, 1);
    texts->addLayout(dealer);
    texts->addSpacing(8);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    texts->addLayout(buttons);
    Panel2->setMinimumWidth(340);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
    OKButton->setFocus();
}

void TAboutForm::FormCreate() {
    Form::FormCreate();
    Version_L->setText(qv::productTitle());
    // Message lines: 0 the encoder number's label, 1 "not connected", 2 + n
    // the lock type of encoder kind n.
    CardType_Label->setText(message(1, kNotConnected));

    // The encoder is asked again: it may have been connected since the start.
    qv::ParameterBlock block;
    qv::Encoder::instance().getParameter(block);
    const int type = static_cast<int16_t>(block[0]);
    const QString prefix = message(0, kEncoderSnPrefix);
    EncoderSn_Label->setText(type < 0 ? prefix : prefix + LockSystemInfo.Pass);
    const QString lockType = lockTypeText(type);
    if (!lockType.isEmpty()) {
        CardType_Label->setText(message(2 + type, lockType));
    }

    const qv::IniFile information(qv::AppPaths::informationFile());
    Company_Label->setText(
        information.readString(QStringLiteral("Sale"), QStringLiteral("Company"), QString()));
    Web_Label->setText(
        information.readString(QStringLiteral("Sale"), QStringLiteral("Web"), QString()));
}

QString TAboutForm::lockTypeText(int encoderType) {
    switch (encoderType) {
        case 0:
            return QStringLiteral("门锁类型：USB数据采集器");
        case 2:
            return QStringLiteral("门锁类型：自动型磁卡门锁系统");
        case 3:
            return QStringLiteral("门锁类型：IC卡门锁系统");
        case 5:
            return QStringLiteral("门锁类型：TM感应卡门锁系统");
        case 7:
            return QStringLiteral("门锁类型：TEMIC感应卡门锁系统");
        case 9:
            return QStringLiteral("门锁类型：MIFARE感应卡门锁系统");
        case 11:
            return QStringLiteral("门锁类型：手动型磁卡门锁系统");
        default:
            return {};
    }
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();  // not a way out of this box
        return;
    }
    Form::keyPressEvent(event);
}
