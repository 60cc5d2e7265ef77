#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace qv {

// A titled group of mutually exclusive choices built from a list of item
// texts, one radio button per item. `itemIndex` is the checked item (-1 for
// none). The arrow keys move the choice between the buttons, Tab enters and
// leaves the group at the checked one. The buttons are laid out in `columns`
// columns, filled top to bottom.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged USER true)
    Q_PROPERTY(int columns READ columns WRITE setColumns)

public:
    explicit RadioGroup(QWidget* parent = nullptr);
    RadioGroup(const QString& title, QWidget* parent = nullptr);

    QStringList items() const { return items_; }
    // Replaces the items. When the number of items stays the same only the
    // texts change and the checked item stays; otherwise the buttons are
    // rebuilt and the choice is kept when it is still in range.
    void setItems(const QStringList& items);
    int count() const { return static_cast<int>(items_.size()); }

    int itemIndex() const;
    // Checks item `index`; an index out of range clears the choice.
    void setItemIndex(int index);

    int columns() const { return columns_; }
    void setColumns(int columns);

    // The button of item `index` (nullptr when out of range).
    QRadioButton* button(int index) const;

signals:
    void itemIndexChanged(int index);

private:
    void rebuild();
    void relayout();

    QStringList items_;
    int columns_ = 1;
    QButtonGroup* group_;
    QGridLayout* layout_;
};

}  // namespace qv
