#pragma once

#include "Report.h"
#include "ReportPainter.h"

#include <QDialog>
#include <QPrinter>

class QLabel;
class QScrollArea;
class QSpinBox;

namespace qvprint {

// One page of the report at a time, as it will be printed: only the page on
// screen is painted, so a report of thousands of pages costs no more than
// one. The page number box, the page buttons, PageUp / PageDown and the
// zoom buttons move and scale it.
class PageView final : public QWidget {
public:
    PageView(ReportPainter& painter, QPrinter& printer, QWidget* parent);

    int page() const { return page_; }
    void setPage(int index);
    double scale() const { return scale_; }
    void setScale(double scale);
    // The page at full size in device units, with the paint area inside it.
    QSizeF paperSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ReportPainter& painter_;
    QPrinter& printer_;
    int page_ = 0;
    double scale_ = 0.1;  // screen pixels per device unit
};

// The print window: a preview of the report's pages with printing through the
// system's printers and saving as PDF or CSV.
class PrintPreviewWindow final : public QDialog {
public:
    PrintPreviewWindow(const Report& report, QWidget* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Fit { Width, Page, None };

    void Print_BtClick();
    void SavePdf_BtClick();
    void SaveCsv_BtClick();
    void showPageCount();
    void goToPage(int index);
    void fit(Fit how);
    void zoomBy(double factor);
    // Asks where to save; false when the operator cancelled.
    // Asks for a file and writes the report into it with `write`, saying
    // where it went; a failure is thrown with the reason.
    void saveAs(const QString& title, const QString& filter, const QString& suffix,
                bool (*write)(const Report&, const QString&, QString&));
    bool chooseFile(const QString& title, const QString& filter, const QString& suffix,
                    QString& path);

    const Report& report_;
    QPrinter printer_;
    ReportPainter painter_;
    QScrollArea* scroll_ = nullptr;
    PageView* view_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pages_ = nullptr;
    Fit fit_ = Fit::Width;
};

}  // namespace qvprint
