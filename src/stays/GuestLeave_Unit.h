#pragma once

#include <QDialog>
#include <QString>
#include <QVariant>

class QKeyEvent;
class QPushButton;
class QTableView;
class TLanguage;

namespace qv {
class DataSet;
class DataSetModel;
}  // namespace qv

// Check-out ("退房"): the open stays, one closed per press of "退  房(&U)".
// A closed stay gets enOverride 1 and the moment of check-out in LeaveTime;
// no card is read or written.
//
// Shown modally and destroyed by its owner: `TGuestLeave_Form f(parent); f.exec();`
class TGuestLeave_Form : public QDialog {
    Q_OBJECT
public:
    explicit TGuestLeave_Form(QWidget* parent = nullptr);
    ~TGuestLeave_Form() override;

    QTableView* GuestInRecord_DBGrid;
    QPushButton* NoCardConfirm_Bt;
    QPushButton* Close_Bt;
    qv::DataSet* GL_ADO;
    qv::DataSetModel* GL_DS;
    TLanguage* Language1;

    void FormCreate();
    // Reads the open stays again.
    void FindGuestInData();
    // Checks out the stay of the grid's current row.
    void NoCardConfirm_BtClick();

private:
    bool FormKeyDown(QKeyEvent* event);
    void selectRow(int row);
};

// Ends the open stay with the key `stayId` now. False when it was closed
// already (by another front desk, for instance).
bool CheckOutStay(const QVariant& stayId);
// Ends the room's open stay now (the first one, should it have several).
// False when the room has none.
bool CheckOutRoom(const QString& roomStr);
