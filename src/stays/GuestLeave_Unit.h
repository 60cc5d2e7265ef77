#pragma once

#include "stays/StayService.h"
#include "window/Form.h"

class QPushButton;

namespace qv {
class DataSet;
class DataSetModel;
class RecordGrid;
}  // namespace qv

// Check-out ("退房"): the open stays, one closed per press of "退  房(&U)".
// A closed stay gets enOverride 1 and the moment of check-out in LeaveTime;
// no card is read or written. No button is the default: Enter in the list
// checks nobody out, the button (or its accelerator) does.
//
// Shown modally and destroyed by its owner: `TGuestLeave_Form f(parent); f.exec();`
class TGuestLeave_Form : public qv::Form {
    Q_OBJECT
public:
    explicit TGuestLeave_Form(QWidget* parent = nullptr);
    ~TGuestLeave_Form() override;

    qv::RecordGrid* GuestInRecord_DBGrid;
    QPushButton* NoCardConfirm_Bt;
    QPushButton* Close_Bt;
    qv::DataSet* GL_ADO;
    qv::DataSetModel* GL_DS;

    // Reads the open stays again.
    void FindGuestInData();
    // Checks out the stay of the grid's current row.
    void NoCardConfirm_BtClick();

protected:
    void FormCreate() override;
};
