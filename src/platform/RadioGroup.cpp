#include "platform/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QSignalBlocker>

namespace qv {

RadioGroup::RadioGroup(QWidget* parent) : RadioGroup(QString(), parent) {}

RadioGroup::RadioGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)), layout_(new QGridLayout(this)) {
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit itemIndexChanged(id);
        }
    });
}

void RadioGroup::setItems(const QStringList& items) {
    if (items.size() == items_.size()) {
        items_ = items;
        for (int i = 0; i < count(); ++i) {
            button(i)->setText(items_[i]);
        }
        return;
    }
    const int previous = itemIndex();
    items_ = items;
    rebuild();
    if (previous >= 0 && previous < count()) {
        const QSignalBlocker block(group_);
        button(previous)->setChecked(true);
    } else if (previous >= 0) {
        emit itemIndexChanged(-1);
    }
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (index == itemIndex()) {
        return;
    }
    if (QRadioButton* b = button(index)) {
        b->setChecked(true);  // emits itemIndexChanged through the group
        return;
    }
    if (QAbstractButton* checked = group_->checkedButton()) {
        // An exclusive group never unchecks its last button by itself.
        group_->setExclusive(false);
        checked->setChecked(false);
        group_->setExclusive(true);
        emit itemIndexChanged(-1);
    }
}

void RadioGroup::setColumns(int columns) {
    columns = qMax(1, columns);
    if (columns != columns_) {
        columns_ = columns;
        relayout();
    }
}

QRadioButton* RadioGroup::button(int index) const {
    return qobject_cast<QRadioButton*>(group_->button(index));
}

void RadioGroup::rebuild() {
    const QList<QAbstractButton*> old = group_->buttons();
    for (QAbstractButton* b : old) {
        group_->removeButton(b);
        layout_->removeWidget(b);
        delete b;
    }
    for (int i = 0; i < count(); ++i) {
        auto* b = new QRadioButton(items_[i], this);
        group_->addButton(b, i);
    }
    relayout();
}

void RadioGroup::relayout() {
    const int n = count();
    const int rows = (n + columns_ - 1) / columns_;
    for (int i = 0; i < n; ++i) {
        QRadioButton* b = button(i);
        layout_->removeWidget(b);
        layout_->addWidget(b, rows ? i % rows : 0, rows ? i / rows : 0);
    }
}

}  // namespace qv
