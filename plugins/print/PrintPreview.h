#pragma once

#include "Report.h"

#include <QDialog>
#include <QPrinter>

class QLabel;
class QPrintPreviewWidget;

namespace qvprint {

// The print window: a preview of the report's pages with printing through the
// system's printers and saving as PDF or CSV.
class PrintPreviewWindow final : public QDialog {
public:
    PrintPreviewWindow(const Report& report, QWidget* parent);

private:
    void Print_BtClick();
    void SavePdf_BtClick();
    void SaveCsv_BtClick();
    void showPageCount();
    // Asks where to save; false when the operator cancelled.
    bool chooseFile(const QString& title, const QString& filter, const QString& suffix,
                    QString& path);

    const Report& report_;
    QPrinter printer_;
    QPrintPreviewWidget* preview_ = nullptr;
    QLabel* pages_ = nullptr;
};

}  // namespace qvprint
