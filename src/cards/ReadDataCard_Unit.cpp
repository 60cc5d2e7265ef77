#include "cards/ReadDataCard_Unit.h"

#include "card/DataCard.h"
#include "card/EncoderApi.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Named.h"
#include "platform/ProgramText.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

// Holds the operator's input while a data card is read: the windows stay
// painted, but presses, keys and the window's closing that arrive meanwhile
// are dropped rather than queued for after the reading (a press queued on
// "读卡" would read the card a second time). A box shown on top of the window
// meanwhile (the encoder library's report) still takes its answer.
class InputHold : public QObject {
public:
    explicit InputHold(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

    // Paints what changed and handles the other events waiting.
    void keepPainted() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window_) {
            return false;
        }
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                return true;
            case QEvent::Close:
                if (watched == window_) {
                    event->ignore();
                    return true;
                }
                return false;
            default:
                return false;
        }
    }

private:
    QWidget* window_;
};

}  // namespace

TReadDataCard_Form::TReadDataCard_Form(QWidget* parent)
    : qv::Form(QStringLiteral("ReadDataCard_Form"), QStringLiteral("读采集卡"), parent,
               Options{.escCloses = true, .fixedSize = true}) {
    Label1 = qv::make<QLabel>(QStringLiteral("Label1"), this);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMinimumSize(280, 48);
    QFont prompt = Label1->font();
    prompt.setPointSize(prompt.pointSize() + 3);
    Label1->setFont(prompt);
    ReadDataCard_Bt =
        qv::make<QPushButton>(QStringLiteral("ReadDataCard_Bt"), QStringLiteral("读卡"), this);
    ReadDataCard_Bt->setDefault(true);
    ReadDataCard_Bt->setMinimumWidth(96);
    connect(ReadDataCard_Bt, &QPushButton::clicked, this,
            qv::slot(this, &TReadDataCard_Form::ReadDataCard_BtClick));

    auto* button = new QHBoxLayout;
    button->addStretch();
    button->addWidget(ReadDataCard_Bt);
    button->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(Label1);
    layout->addLayout(button);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ReadDataCard_Bt->setFocus();
    FormCreate();
}

TReadDataCard_Form::~TReadDataCard_Form() = default;

void TReadDataCard_Form::ShowPromptMessage(int code) {
    Label1->setText(code == QV_ENC_OK ? qv::programText(QStringLiteral("操作成功！"))
                                      : qv::programText(QStringLiteral("操作失败或无开锁记录！")));
}

void TReadDataCard_Form::ReadDataCard_BtClick() {
    ReadDataCard_Bt->setEnabled(false);
    const auto enable = qScopeGuard([this] {
        ReadDataCard_Bt->setEnabled(true);
        ReadDataCard_Bt->setFocus();
    });
    InputHold hold(this);
    Label1->setText(qv::programText(QStringLiteral("正在读卡……")));
    hold.keepPainted();
    QElapsedTimer shown;
    shown.start();
    QList<qv::DoorOpening> stored;
    int16_t code = QV_ENC_FAILED;
    try {
        code = qv::ReadAndStoreDataCard(stored, [&](int read) {
            // A card of many records: the count every hundred records, and at
            // least every tenth of a second.
            if (read % 100 == 0 || shown.elapsed() >= 100) {
                showProgress(read);
                hold.keepPainted();
                shown.restart();
            }
        });
    } catch (const qv::Error&) {
        ShowPromptMessage(QV_ENC_FAILED);  // nothing was stored
        throw;
    }
    ShowPromptMessage(code);
    hold.keepPainted();
    if (code == QV_ENC_OK) {
        reportInvalidTimes(stored);
        reportUnknownLocks(stored);
    }
}

void TReadDataCard_Form::reportUnknownLocks(const QList<qv::DoorOpening>& stored) {
    const QList<qv::UnknownLock> locks = qv::UnknownLocks(stored);
    if (locks.isEmpty()) {
        return;
    }
    int records = 0;
    QStringList lines;
    for (const qv::UnknownLock& lock : locks) {
        records += lock.records;
        lines << qv::programText(QStringLiteral("%1楼%2层%3号门锁：%4 条"))
                     .arg(lock.Buiding)
                     .arg(lock.Floor)
                     .arg(lock.RoomNumber, 2, 10, QLatin1Char('0'))
                     .arg(lock.records);
    }
    lines.prepend(qv::programText(QStringLiteral("有 %1 条开锁记录的门锁不是本酒店任何房间的门锁，"
                                                 "已按门锁地址保存（房间号为空）："))
                      .arg(records));
    qv::messageBox(qv::noticeTitle(), lines.join('\n'), qv::Icon::Warning);
}

void TReadDataCard_Form::showProgress(int recordsRead) {
    Label1->setText(
        qv::programText(QStringLiteral("正在读卡：已读 %1 条开锁记录")).arg(recordsRead));
}

void TReadDataCard_Form::reportInvalidTimes(const QList<qv::DoorOpening>& stored) {
    QStringList lines;
    for (const qv::DoorOpening& row : stored) {
        if (!row.OpenTime.isValid()) {
            lines << qv::programText(QStringLiteral("第 %1 条：%2  %3  %4  %5  %6"))
                         .arg(row.Counter)
                         .arg(row.RawTime[0])
                         .arg(row.RawTime[1])
                         .arg(row.RawTime[2])
                         .arg(row.RawTime[3])
                         .arg(row.RawTime[4]);
        }
    }
    if (lines.isEmpty()) {
        return;
    }
    lines.prepend(
        qv::programText(QStringLiteral("以下 %1 条开锁记录的开门时间无效（年 月 日 时 分），"
                                       "已保存为无开门时间的记录："))
            .arg(lines.size()));
    qv::messageBox(qv::noticeTitle(), lines.join('\n'), qv::Icon::Warning);
}
