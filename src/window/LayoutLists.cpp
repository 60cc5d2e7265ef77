#include "window/LayoutLists.h"

#include "data/dm_unit.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace qv {

void fillLayoutFilter(QComboBox* box, int kind, const QString& allText) {
    const QSignalBlocker quiet(box);
    box->clear();
    QStringList values;
    dm->GetDataTypeItems(kind, values, QString());
    box->addItems(values);
    box->addItem(allText);
    box->setCurrentIndex(box->count() - 1);
}

std::optional<int> layoutFilterValue(const QComboBox* box) {
    const int at = box->currentIndex();
    if (at < 0 || at >= box->count() - 1) {
        return std::nullopt;
    }
    bool ok = false;
    const int value = box->currentText().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace qv
