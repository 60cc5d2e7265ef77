#pragma once

#include "Report.h"

#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QSizeF>

#include <memory>

class QPagedPaintDevice;
class QPainter;
class QPaintDevice;

namespace qvprint {

// Lays a report out on pages and paints them: on every page the hotel name,
// the title, the print date and record count, the column headers, as many
// rows as fit, and "第 N 页 / 共 M 页" at the foot. Cells wrap; a row never
// splits across pages.
class ReportPainter {
public:
    explicit ReportPainter(const Report& report);
    ~ReportPainter();
    ReportPainter(const ReportPainter&) = delete;
    ReportPainter& operator=(const ReportPainter&) = delete;

    // A4 with 15 mm margins; landscape when the columns do not fit across a
    // portrait page at their natural widths, or when there are more than six.
    static QPageLayout pageLayout(const Report& report);
    static QPageLayout::Orientation preferredOrientation(const Report& report);

    // Lays the report out on the pages of `device` (its page layout as set),
    // which must outlive the painting. The rows are read once; what is kept
    // is their heights and where each page begins.
    void prepare(QPaintDevice& device);
    // Paints page `index` of the last layout with `painter`, in the units of
    // the device it was prepared for (the painter may scale them).
    void paintPage(QPainter& painter, int index);
    // Prepares for `device` and paints every page on it. False when the
    // device cannot be painted on.
    bool paint(QPagedPaintDevice& device);
    int pageCount() const { return static_cast<int>(pages_.size()); }
    // The size of a page in the units of the device prepared for.
    QSizeF pageSize() const;

private:
    struct Page {
        int first = 0;  // first row
        int end = 0;    // one past the last row
    };
    struct Metrics;

    void layout(QPaintDevice& device, const Metrics& m);

    const Report& report_;
    QFont hotelFont_, titleFont_, metaFont_, headerFont_, bodyFont_;
    QList<double> widths_;     // column widths, device units
    QList<float> rowHeights_;  // device units
    double headerHeight_ = 0;
    QList<Page> pages_;
    QPaintDevice* device_ = nullptr;
    std::unique_ptr<Metrics> metrics_;
};

// The report's fonts: a CJK sans-serif family with fallbacks.
QFont reportFont(double points, bool bold);

// The text of a cell as printed: line breaks of any kind become line
// separators, tabs become blanks.
QString printedText(const QString& cell);

}  // namespace qvprint
