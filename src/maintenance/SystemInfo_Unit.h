#pragma once

#include "settings/Settings.h"
#include "window/Form.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qv {
class RadioGroup;
}

// System settings ("基本参数设置"): the hotel name, the default nights and
// check-out time and the encoder's serial port, in Mirefold.ini. Saving
// checks every value first, writes the keys and ends the program, which reads
// them at its next start.
//
// Shown modally: `TSystemInfo_Form f(parent); f.exec();`
class TSystemInfo_Form : public qv::Form {
    Q_OBJECT
public:
    explicit TSystemInfo_Form(QWidget* parent = nullptr);
    ~TSystemInfo_Form() override;

    qv::RadioGroup* LockType;  // never shown
    qv::RadioGroup* CommPort_RG;
    QLabel* HotelName_Label;
    QLineEdit* HotelName_Edit;
    QLabel* DayCount_Label;
    QSpinBox* DayCount_SE;
    QLabel* LeaveTime_Label;
    QLineEdit* LeaveTime_Edit;
    QCheckBox* UseRoomID_CB;  // never shown
    QPushButton* Button1;     // "保存(&S)"
    QPushButton* Button3;     // "关闭(&C)"
    QPushButton* Button2;     // "取消(&C)", outside the window's visible area

    TLock_Info LockInfo;  // [Config] as read when the window opened

    void GetLockSoftInfo();
    // Checks every value, then writes them; false (nothing written) after a message.
    bool SaveLockSoftInfo();
    void Button1Click();
    void Button2Click();

protected:
    void FormCreate() override;
};
