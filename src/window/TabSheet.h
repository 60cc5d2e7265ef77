#pragma once

#include <QString>
#include <QWidget>

class QTabWidget;

namespace qv {

// One page of a page control (a QTabWidget): a named widget whose `caption`
// property is the text of its tab, so that the language store captures and
// applies it like any other caption. Disabling the page disables what it
// holds; its tab can still be chosen.
class TabSheet : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    // Adds the page as the last tab of `pages`.
    TabSheet(QTabWidget* pages, const QString& name, const QString& caption);

    QString caption() const;
    void setCaption(const QString& caption);

private:
    QTabWidget* pages_;
};

}  // namespace qv
