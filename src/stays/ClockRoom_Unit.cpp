#include "stays/ClockRoom_Unit.h"

#include "card/CardFunctions.h"
#include "platform/Clock.h"
#include "platform/Guard.h"
#include "settings/Settings.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <algorithm>
#include <cmath>

TClockRoom_Form::TClockRoom_Form(QWidget* parent)
    : GuestCardForm(QStringLiteral("ClockRoom_Form"), QStringLiteral("开钟点房--发行客人卡"),
                    parent) {
    roomListKey = true;
    Days_Label->setText(QStringLiteral("入住钟点："));
    DaysUnit_Label->setText(QStringLiteral("小时"));
    DaysUnit_Label->show();
    limitLength(Days_Edit, 4);
    Confirm_Bt->setText(QStringLiteral("发卡(&Y)"));

    connect(ET_GQI_Dtp, &QTimeEdit::timeChanged, this,
            qv::slot(this, &TClockRoom_Form::ET_GQI_DtpChange));
    connect(Confirm_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TClockRoom_Form::Confirm_BtClick));
    FormCreate();
}

TClockRoom_Form::~TClockRoom_Form() = default;

void TClockRoom_Form::setDefaultStay() {
    const QDateTime now = qv::Clock::now();
    SD_GQI_Dtp->setDate(now.date());
    ST_GQI_Dtp->setTime(now.time());
    const QSignalBlocker block(Days_Edit);
    Days_Edit->setText(QStringLiteral("1"));
    Days_EditChange();
}

void TClockRoom_Form::setEnd(const QDateTime& end) {
    // Set by the program, not by the clerk: Days_Edit stays as it is.
    const QSignalBlocker blockDate(ED_GQI_Dtp);
    const QSignalBlocker blockTime(ET_GQI_Dtp);
    ED_GQI_Dtp->setDate(end.date());
    ET_GQI_Dtp->setTime(end.time());
}

void TClockRoom_Form::Days_EditChange() {
    bool ok = false;
    const int hours = Days_Edit->text().toInt(&ok);
    if (ok) {
        const QDateTime start(SD_GQI_Dtp->date(), ST_GQI_Dtp->time());
        setEnd(start.addSecs(qint64{hours} * 3600));
    }
}

QString TClockRoom_Form::hoursText(const QDateTime& start, const QDateTime& end) {
    const double hours = static_cast<double>(start.secsTo(end)) / 3600.0;
    if (hours == 0) {
        return QStringLiteral("0");
    }
    // Rounded to two significant digits, written without an exponent.
    const int magnitude = static_cast<int>(std::floor(std::log10(std::abs(hours))));
    const int decimals = std::max(0, 1 - magnitude);
    const double scale = std::pow(10.0, 1 - magnitude);
    QString text = QString::number(std::round(hours * scale) / scale, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) {
            text.chop(1);
        }
        if (text.endsWith(QLatin1Char('.'))) {
            text.chop(1);
        }
    }
    return text;
}

void TClockRoom_Form::ED_GQI_DtpChange() {
    Days_Edit->setText(hoursText(QDateTime(SD_GQI_Dtp->date(), ST_GQI_Dtp->time()),
                                 QDateTime(ED_GQI_Dtp->date(), ET_GQI_Dtp->time())));
}

void TClockRoom_Form::ET_GQI_DtpChange() {
    ED_GQI_DtpChange();
}

void TClockRoom_Form::ShowPromptMessage(int code) {
    // A missing card and a missing encoder are not told apart here.
    GuestCardForm::ShowPromptMessage(code == 1 ? 1 : -15);
}

void TClockRoom_Form::Confirm_BtClick() {
    // The button comes back at once, whatever the result.
    if (issueCard(Confirm_Bt, qv::stays::hourlyRoom)) {
        Confirm_Bt->setEnabled(true);
    }
}
