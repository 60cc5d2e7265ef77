#pragma once

#include "window/EditForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {
class DataSet;
class RecordGrid;
}  // namespace qv

// Room types ("客房类型"): a title, the beds and the price of each type. The
// titles are what the rooms window offers for a room; a room keeps the title
// text, so renaming or deleting a type leaves the rooms as they are.
//
// "添加" and "编辑" fill the boxes for a new type or the current one and set
// the save mode; "保存" stores the boxes in that mode after the data module's
// check (a title is required). An empty beds or price box keeps what the row
// has. "删除" deletes the current type.
//
// Shown modally and destroyed by its owner: `TRoomType_Form f(parent); f.exec();`
class TRoomType_Form : public qv::EditForm {
    Q_OBJECT
public:
    explicit TRoomType_Form(QWidget* parent = nullptr);
    ~TRoomType_Form() override;

    qv::RecordGrid* RoomType_DBGrid;  // Table_Grid
    qv::DataSet* RoomType_ado;        // table RoomType (Table)
    QLabel* Label1;
    QLineEdit* RoomType_Edit;
    QLabel* Label2;
    QLineEdit* MaxCounts_Edit;
    QLabel* Label3;
    QLineEdit* Price_Edit;
    QLabel* Label4;
    QPushButton* Add_Bt;
    QPushButton* Save_Bt;
    QPushButton* Edit_Bt;
    QPushButton* Delete_Bt;

    // What "保存" does: store a new type or change the current one.
    enum class SaveMode { Add, Edit };
    SaveMode saveMode() const { return saveMode_; }

    void RoomType_DBGridCellClick();
    void Add_BtClick();
    void Edit_BtClick();
    void Save_BtClick();
    void Delete_BtClick();
    void RoomType_EditChange();

protected:
    void fillRecord() override;
    bool FormKeyDown(QKeyEvent* event) override;

private:
    void setBoxesEnabled(bool enabled);
    void clearBoxes();
    void updateButtonsForRows();

    SaveMode saveMode_ = SaveMode::Add;
    bool entering_ = false;  // the boxes are open for a new or changed type
};
