#pragma once

#include "window/Form.h"

#include <array>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimeEdit;
struct SpecialCardOrder;

namespace qv {
class RadioGroup;
class TabSheet;
}  // namespace qv

// Special cards ("发行卡"): one page per kind of the hotel's own cards (time,
// data-collection start, master, district, building, floor, clear,
// emergency, lost-report and passage setting cards). The operator fills in
// the page and presses "发卡(&W)"; the card is written with the serial of its
// kind and, only when the encoder wrote it, logged and its counter advanced.
// A page is usable only with the operator's right for its kind.
//
// Shown modally and destroyed by its owner: `TMakeCard_Form f(parent); f.exec();`
class TMakeCard_Form : public qv::Form {
    Q_OBJECT
public:
    // The pages, in the order of the page control.
    enum Page {
        TimePage = 0,
        DataPage = 1,
        ChiefPage = 2,
        DistrictPage = 3,
        BuildingPage = 4,
        FloorPage = 5,
        LongOpenPage = 6,
        EmergentPage = 7,
        LostPage = 8,
        SpecialPage = 9,
        PageCount = 10
    };

    explicit TMakeCard_Form(QWidget* parent = nullptr);
    ~TMakeCard_Form() override;

    QTabWidget* PageControl1;
    QPushButton* Encode_Bt;  // "发卡(&W)"
    QPushButton* BitBtn2;    // "关闭(&C)"
    QLabel* Prompt_Label;

    // 0: time card
    qv::TabSheet* TabSheet2;
    QLineEdit* E_H_Time;
    QDateEdit* TimeCardDt_DTP;
    QTimeEdit* TimeCardTm_DTP;
    QCheckBox* CB_eO_Time;
    // 1: data-collection start card
    qv::TabSheet* TabSheet4;
    QLineEdit* E_H_Data;
    QDateEdit* SD_Data_Dtp;
    QTimeEdit* ST_Data_Dtp;
    QDateEdit* ED_Data_Dtp;
    QTimeEdit* ET_Data_Dtp;
    QCheckBox* CB_eO_Data;
    // 2: master card
    qv::TabSheet* TabSheet5;
    QLineEdit* E_H_Chief;
    QDateEdit* SD_Chief_Dtp;
    QTimeEdit* ST_Chief_Dtp;
    QDateEdit* ED_Chief_Dtp;
    QTimeEdit* ET_Chief_Dtp;
    QCheckBox* CB_eO_Chief;
    // 3: district card
    qv::TabSheet* TabSheet6;
    QLineEdit* E_H_District;
    QDateEdit* SD_District_Dtp;
    QTimeEdit* ST_District_Dtp;
    QDateEdit* ED_District_Dtp;
    QTimeEdit* ET_District_Dtp;
    QComboBox* District_CB;
    QCheckBox* CB_eO_District;
    // 4: building card
    qv::TabSheet* TabSheet7;
    QLineEdit* E_H_Building;
    QDateEdit* SD_Building_Dtp;
    QTimeEdit* ST_Building_Dtp;
    QDateEdit* ED_Building_Dtp;
    QTimeEdit* ET_Building_Dtp;
    QComboBox* Buiding_CB;
    QCheckBox* CB_eO_Building;
    // 5: floor card
    qv::TabSheet* TabSheet8;
    QLineEdit* E_H_Floor;
    QDateEdit* SD_Floor_Dtp;
    QTimeEdit* ST_Floor_Dtp;
    QDateEdit* ED_Floor_Dtp;
    QTimeEdit* ET_Floor_Dtp;
    QComboBox* Buiding_Flc_CB;
    QComboBox* Floor_CB;
    QCheckBox* CB_eO_Floor;
    // 6: clear card
    qv::TabSheet* ClearCard_TS;
    QLineEdit* E_H_LongOpen;
    QDateEdit* SD_LongOpen_Dtp;
    QTimeEdit* ST_LongOpen_Dtp;
    QDateEdit* ED_LongOpen_Dtp;
    QTimeEdit* ET_LongOpen_Dtp;
    QCheckBox* CB_eO_LongOpen;
    // 7: emergency card
    qv::TabSheet* TabSheet10;
    QLineEdit* E_H_Emergent;
    QDateEdit* SD_Emergent_Dtp;
    QTimeEdit* ST_Emergent_Dtp;
    QDateEdit* ED_Emergent_Dtp;
    QTimeEdit* ET_Emergent_Dtp;
    QCheckBox* CB_eO_Emergent;
    // 8: lost-report card
    qv::TabSheet* TabSheet11;
    QLineEdit* E_H_Lost;
    QDateEdit* SD_Lost_Dtp;
    QTimeEdit* ST_Lost_Dtp;
    QDateEdit* ED_Lost_Dtp;
    QTimeEdit* ET_Lost_Dtp;
    qv::RadioGroup* LostCardType_RG;
    QCheckBox* CB_eO_Lost;
    // 9: passage setting card (no loss report box: its Override is always 1)
    qv::TabSheet* TabSheet1;
    QLineEdit* E_H_Special;
    QDateEdit* DateTimePicker1;  // start date
    QTimeEdit* DateTimePicker4;  // start time
    QDateEdit* DateTimePicker2;  // end date
    QTimeEdit* DateTimePicker3;  // end time

    // The rights check of the active page: the page and Encode_Bt are usable
    // only with the operator's right for its kind. The application ends
    // when the logged-on operator has no row.
    void PageControl1Change();
    // Issues the card of the active page, ignoring presses while a card
    // operation is under way; the button comes back after a short pause.
    void Encode_BtClick();
    // Prompt_Label := the text of an encoder result.
    void ShowPromptMessage(int code);

    // The card routines of the pages.
    void MC_Time();
    void MC_Data();
    void MC_Chief();
    void MC_District();
    void MC_Building();
    void MC_Floor();
    void MC_LongOpen();
    void MC_Emergent();
    void MC_Lost();
    void MC_Special();

protected:
    // Applies the language store, sets the pickers (the start at the moment
    // the window opens, ends tomorrow at the check-out time), fills the
    // building, floor and district lists and checks the first page's right.
    void FormCreate() override;

private:
    // What every page has: its sheet, holder box, pickers and loss report box.
    struct CardPage {
        qv::TabSheet* sheet = nullptr;
        QGridLayout* layout = nullptr;
        QLineEdit* holder = nullptr;
        QDateEdit* startDate = nullptr;  // none on the time page
        QTimeEdit* startTime = nullptr;
        QDateEdit* endDate = nullptr;
        QTimeEdit* endTime = nullptr;
        QCheckBox* lossApplied = nullptr;  // none on the passage page
    };
    struct PageNames {
        const char* sheet;
        const char* caption;
        const char* holder;
        const char* startDate;  // nullptr: the time page's set time only
        const char* startTime;
        const char* endDate;
        const char* endTime;
        const char* lossBox;  // nullptr: no loss report box
    };
    CardPage buildPage(const PageNames& names);
    QComboBox* addList(CardPage& page, const QString& name, const QString& label);

    // The order of the page's card: its type, holder, loss report and the
    // start and end of its pickers, each moved by TimeTolerance minutes.
    SpecialCardOrder pageOrder(Page page) const;
    // Writes the ordered card and shows the encoder's answer.
    void issue(const SpecialCardOrder& order);
    // After the pause: Encode_Bt as the active page's right allows.
    void resumeEncode();

    std::array<CardPage, PageCount> pages_;
};
