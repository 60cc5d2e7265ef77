#pragma once

#include "window/Form.h"

#include <QList>

class QLabel;
class QPushButton;

namespace qv {
struct DoorOpening;
}

// Reading a data card ("读采集卡"): "读卡" pulls every door-opening record off
// the data card on the encoder and stores it; the room of the card's first
// record gets exactly the records read. While the card is read the window
// shows how many records it has and stays painted, but takes no input.
//
//   TReadDataCard_Form f(parent);
//   f.exec();
class TReadDataCard_Form : public qv::Form {
    Q_OBJECT
public:
    explicit TReadDataCard_Form(QWidget* parent = nullptr);
    ~TReadDataCard_Form() override;

    QPushButton* ReadDataCard_Bt;
    QLabel* Label1;  // the result of the last reading

    void ReadDataCard_BtClick();
    // "操作成功！" for 1, else "操作失败或无开锁记录！".
    void ShowPromptMessage(int code);

private:
    void showProgress(int recordsRead);
    void reportInvalidTimes(const QList<qv::DoorOpening>& stored);
    // Names the locks of records whose address matched no room: they are
    // kept with their lock address and an empty door plate, to be traced.
    void reportUnknownLocks(const QList<qv::DoorOpening>& stored);
};
