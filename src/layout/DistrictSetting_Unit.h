#pragma once

#include "window/EditForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {
class DataSet;
class RecordGrid;
}  // namespace qv

// Districts ("区域设置"): the district numbers that district cards can carry,
// each with a description. "添  加" opens the boxes, " 保  存" stores a new
// district (its number must be a number and not in the list already: 03 is
// 3), "删  除" deletes the current one. A district is changed by deleting it
// and adding it again.
//
// Shown modally and destroyed by its owner: `TDistrictSetting_Form f(parent); f.exec();`
class TDistrictSetting_Form : public qv::EditForm {
    Q_OBJECT
public:
    explicit TDistrictSetting_Form(QWidget* parent = nullptr);
    ~TDistrictSetting_Form() override;

    qv::RecordGrid* DBGrid1;    // Table_Grid
    qv::DataSet* District_ado;  // District by number (Table)
    QLabel* Label1;
    QLineEdit* Dn_Edit;
    QLabel* Label2;
    QLineEdit* Notes_Edit;
    QPushButton* Add_Bt;
    QPushButton* Save_Bt;
    QPushButton* Delete_Bt;

    void DBGrid1CellClick();
    void Add_BtClick();
    void Dn_EditChange();
    void Save_BtClick();
    void Delete_BtClick();
    // The checks before a district is stored: a number, and a new one.
    void District_adoBeforePost(qv::DataSet& dataSet);

protected:
    void fillRecord() override;
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void setBoxesEnabled(bool enabled);
};
