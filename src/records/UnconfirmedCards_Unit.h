#pragma once

#include "card/CardRecords.h"
#include "window/Form.h"

#include <QHash>
#include <QList>

class QLabel;
class QPushButton;
class QTableWidget;

// The cards whose issue was never confirmed ("发卡结果不明的卡"): cards handed
// to the encoder whose outcome the desk never learnt, and cards written whose
// records were not stored. The clerk settles each without the card in hand:
// "the card was written and handed over", or "the card is lost or destroyed"
// (it is marked cancelled; for a guest card a new card for the room is
// offered, which shuts the lost one out). Each needs the right that issues
// that kind of card. Opened from the start-up notice and from the card issue
// records.
//
// Shown modally and destroyed by its owner: `TUnconfirmedCards_Form f(parent); f.exec();`
class TUnconfirmedCards_Form : public qv::Form {
    Q_OBJECT
public:
    explicit TUnconfirmedCards_Form(QWidget* parent = nullptr);
    ~TUnconfirmedCards_Form() override;

    QLabel* Hint_Label;
    QTableWidget* Cards_Grid;
    QLabel* Prompt_Label;
    QPushButton* Written_Bt;  // "卡已写好并交给持卡人(&W)"
    QPushButton* Lost_Bt;     // "卡已丢失或损坏(&L)"
    QPushButton* Close_Bt;    // "关  闭(&C)"

    // Fills the list from the card issue log.
    void LoadCards();
    // The card of the current row was written and handed over.
    void Written_BtClick();
    // The card of the current row is lost or destroyed.
    void Lost_BtClick();
    // The buttons follow the current row and the operator's rights.
    void Cards_GridCurrentChanged();

    // The cards listed, in the list's order.
    const QList<CardLogRow>& cards() const { return cards_; }

protected:
    void FormCreate() override;

private:
    const CardLogRow* currentCard() const;
    bool mayIssue(int cardType);
    // Writes a new guest card for the lost card's room and guest.
    void offerNewGuestCard(const CardLogRow& lost);

    QList<CardLogRow> cards_;
    QHash<int, bool> rights_;
};
