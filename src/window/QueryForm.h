#pragma once

#include "data/Connection.h"
#include "window/Form.h"

#include <QList>
#include <QStringList>
#include <memory>

class QHBoxLayout;
class QLabel;
class QProgressDialog;
class QStatusBar;
class QTableView;
class QVBoxLayout;

namespace qv {
class PagedQueryModel;
enum class PrintKind : uint8_t;

// The base of the record windows (door openings, guest stays, card issues):
// a filter area on top, the grid of the matching records, a row of buttons
// and a status bar. The window puts its filter controls into FilterArea and
// its buttons into Buttons_Layout, builds its query in its search handler and
// hands it to runQuery(). The grid reads the rows a page at a time as they
// are scrolled to, so a search over years of records shows at once.
//
//   TCheckMakeCardRecord_Form::Query_BtClick()
//   {
//       runQuery("select ... from MakeCardRecord where ...", binds, "MakeTime desc, ID desc");
//   }
class QueryForm : public Form {
    Q_OBJECT
public:
    ~QueryForm() override;

    QWidget* FilterArea;       // the window's filter controls (give it a layout)
    QTableView* Records_Grid;  // named by the window (its grid's component name)
    PagedQueryModel* Records;  // the rows of the last search
    QStatusBar* StatusBar1;

    // The status text: "记录：n / m" (current row / matching rows; "m+" while
    // they are still being counted), or the window's own from statusText().
    QString StatusText() const;

protected:
    QueryForm(const QString& name, const QString& caption, const QString& gridName,
              PrintKind printKind, QWidget* parent);
    QueryForm(const QString& name, const QString& caption, const QString& gridName,
              PrintKind printKind, QWidget* parent, Options options);

    // The grid's columns: fields of the query and their titles.
    void setColumns(const QStringList& fields, const QStringList& titles);
    // Runs the search (see PagedQueryModel::setQuery), shows its first rows
    // and selects the first one. A database error is thrown to the handler
    // guard; the rows shown before stay.
    void runQuery(const QString& selectText, const Binds& binds, const QString& orderBy);
    // The value of `field` in the grid's current row (null when none).
    QVariant currentValue(const QString& field) const;
    // Hands every matching row, as the grid shows them, to the print library:
    // above kPrintQuestionRows rows after a question naming the count; the
    // rows are read a page at a time under a progress window whose Cancel
    // prints nothing.
    static constexpr int kPrintQuestionRows = 5000;
    void printRecords();
    // A progress window over this one for long work done in steps (window
    // modal, shown after a short while, its Cancel asks the work to stop);
    // `maximum` 0: the steps are not known in advance. Between steps the work
    // calls keepPainted().
    std::unique_ptr<QProgressDialog> progressWindow(const QString& objectName, const QString& label,
                                                    int maximum);
    static void keepPainted();
    // The status text; the default is "记录：n / m".
    virtual QString statusText() const;
    // The current row (1-based, 0 when none) and the matching rows as the
    // status shows them ("m+" while they are still being counted).
    int currentRecordNumber() const;
    QString totalText() const;
    // Shows the status text again.
    void showStatus();
    // Called when the current row changed (after the status is shown).
    virtual void currentRowChanged(int row);
    // Gives the status bar `count` more panels, empty, after the position
    // (named StatusBar1_Panel1, StatusBar1_Panel2, ...).
    void addStatusPanels(int count);

    QVBoxLayout* Body_Layout;
    QHBoxLayout* Buttons_Layout;

private:
    PrintKind printKind_;
    QLabel* status_;
};

}  // namespace qv
