#pragma once

#include "Report.h"

#include <QFont>
#include <QList>
#include <QPageLayout>

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

    // A4 with 15 mm margins; landscape when the columns do not fit across a
    // portrait page at their natural widths, or when there are more than six.
    static QPageLayout pageLayout(const Report& report);
    static QPageLayout::Orientation preferredOrientation(const Report& report);

    // Paints every page on `device` (its page layout as set). False when the
    // device cannot be painted on.
    bool paint(QPagedPaintDevice& device);
    // Pages of the last paint.
    int pageCount() const { return static_cast<int>(pages_.size()); }

private:
    struct Page {
        int first = 0;  // first row
        int end = 0;    // one past the last row
    };
    struct Metrics;

    void layout(QPaintDevice& device, const Metrics& m);
    void paintPage(QPainter& painter, QPaintDevice& device, const Metrics& m, int index);

    const Report& report_;
    QFont hotelFont_, titleFont_, metaFont_, headerFont_, bodyFont_;
    QList<double> widths_;      // column widths, device units
    QList<double> rowHeights_;  // device units
    double headerHeight_ = 0;
    QList<Page> pages_;
};

// The report's fonts: a CJK sans-serif family with fallbacks.
QFont reportFont(double points, bool bold);

// The text of a cell as printed: line breaks of any kind become line
// separators, tabs become blanks.
QString printedText(const QString& cell);

}  // namespace qvprint
