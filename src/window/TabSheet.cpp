#include "window/TabSheet.h"

#include <QTabWidget>

namespace qv {

TabSheet::TabSheet(QTabWidget* pages, const QString& name, const QString& caption)
    : QWidget(pages), pages_(pages) {
    setObjectName(name);
    pages_->addTab(this, caption);
}

QString TabSheet::caption() const {
    const int at = pages_->indexOf(this);
    return at < 0 ? QString() : pages_->tabText(at);
}

void TabSheet::setCaption(const QString& caption) {
    const int at = pages_->indexOf(this);
    if (at >= 0) {
        pages_->setTabText(at, caption);
    }
}

}  // namespace qv
