#include "main/DeskStation.h"

#include "card/CardRecords.h"
#include "platform/ProgramText.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QTimer>

namespace {

QString kindText(const qv::pms::KeyRequest& r) {
    namespace kinds = qv::pms::kinds;
    if (r.kind == kinds::New) {
        return qv::programText(QStringLiteral("%1 张新卡")).arg(r.cards);
    }
    if (r.kind == kinds::Copy) {
        return qv::programText(QStringLiteral("%1 张复制卡")).arg(r.cards);
    }
    if (r.kind == kinds::Extend) {
        return qv::programText(QStringLiteral("续房卡"));
    }
    if (r.kind == kinds::Move) {
        return qv::programText(QStringLiteral("换房到 %1")).arg(r.newRoomStr);
    }
    if (r.kind == kinds::CheckOut) {
        return qv::programText(QStringLiteral("退房"));
    }
    return qv::programText(QStringLiteral("读卡"));
}

}  // namespace

TDeskStation::TDeskStation(const qv::KeyStation::Options& options, QFrame* bar, QLabel* text,
                           QObject* parent)
    : QObject(parent),
      station_(std::make_unique<qv::KeyStation>(options)),
      options_(options),
      bar_(bar),
      text_(text),
      hide_(new QTimer(this)) {
    setObjectName(QStringLiteral("DeskStation"));
    hide_->setSingleShot(true);
    connect(hide_, &QTimer::timeout, bar_, &QWidget::hide);
    station_->setCardWait(
        [this](int, qv::KeyStation::CardWanted wanted, const std::function<bool()>& stillWanted) {
            return waitForCard(wanted, stillWanted);
        });
    connect(station_.get(), &qv::KeyStation::started, this,
            [this](const qv::pms::KeyRequest& r) { current_ = r; });
    connect(station_.get(), &qv::KeyStation::finished, this,
            [this](const qv::pms::KeyRequest& r, const QString& status, const QString& clear) {
                show(answerText(r, status, clear));
                hide_->start(15000);
            });
}

TDeskStation::~TDeskStation() = default;

QString TDeskStation::requestText(const qv::pms::KeyRequest& r, qv::KeyStation::CardWanted wanted) {
    const QString who = r.guestName.isEmpty()
                            ? QString()
                            : qv::programText(QStringLiteral("，%1")).arg(r.guestName);
    const QString todo = wanted == qv::KeyStation::CardWanted::Blank
                             ? qv::programText(QStringLiteral("请在发卡器上放一张空白卡"))
                             : qv::programText(QStringLiteral("请在发卡器上放入客人的卡"));
    return qv::programText(QStringLiteral("PMS（%1）：房间 %2 %3%4 —— %5"))
        .arg(r.workstation.isEmpty() ? r.operatorLogin : r.workstation, r.roomStr, kindText(r), who,
             todo);
}

QString TDeskStation::answerText(const qv::pms::KeyRequest& r, const QString& status,
                                 const QString& clearText) {
    const QString done = status == QLatin1String("OK") ? qv::programText(QStringLiteral("已完成"))
                                                       : qv::programText(QStringLiteral("未完成"));
    return qv::programText(QStringLiteral("PMS：房间 %1 %2 %3 %4"))
        .arg(r.roomStr, kindText(r), done, clearText);
}

int TDeskStation::serve() {
    if (serving_) {
        again_ = true;  // looked at once the request at hand is answered
        return 0;
    }
    serving_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{serving_};
    int served = 0;
    do {
        again_ = false;
        served += station_->serveAll();
    } while (again_);
    return served;
}

bool TDeskStation::waitForCard(qv::KeyStation::CardWanted wanted,
                               const std::function<bool()>& stillWanted) {
    show(requestText(current_, wanted));
    hide_->stop();
    QDeadlineTimer until(options_.cardWaitMs);
    for (;;) {
        const IssuedCard card = ReadIssuedCard();
        if (card.read() &&
            (wanted == qv::KeyStation::CardWanted::Blank ? card.blank() : card.guest())) {
            return true;
        }
        if (until.hasExpired() || !stillWanted()) {
            return false;
        }
        // The desk goes on meanwhile: the board, the clerk's windows.
        QEventLoop loop;
        QTimer::singleShot(options_.pollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void TDeskStation::show(const QString& text) {
    text_->setText(text);
    bar_->show();
}
