#include "ReportPainter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <numeric>
#include <vector>

namespace qvprint {
QFont reportFont(double points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                      QStringLiteral("Source Han Sans SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

namespace {

constexpr double kMarginMm = 15.0;
constexpr int kPortraitColumnLimit = 6;

QTextOption wrapOption(Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
    QTextOption option(align);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// The widest line of `text` on one line each.
double naturalWidth(const QFontMetricsF& fm, const QString& text) {
    double widest = 0;
    for (const QString& line : text.split(QChar::LineSeparator)) {
        widest = std::max(widest, fm.horizontalAdvance(line));
    }
    return widest;
}

// Natural widths of the cells of a long list, quickly: the sum of each
// character's advance, kept per character. Text that such a sum may not
// measure (characters of two units, combining marks) is measured whole.
// The sum leaves out kerning, which only narrows a line; a cell close to its
// column's width is measured whole where that matters (see fitsOneLine).
class CellWidths {
public:
    explicit CellWidths(const QFontMetricsF& fm) : fm_(fm), advances_(0x10000, -1.0f) {}

    double width(const QString& text) {
        double widest = 0;
        double line = 0;
        for (const QChar c : text) {
            if (c == QChar::LineSeparator) {
                widest = std::max(widest, line);
                line = 0;
                continue;
            }
            if (c.isSurrogate() || c.isMark()) {
                return naturalWidth(fm_, text);
            }
            float& advance = advances_[c.unicode()];
            if (advance < 0) {
                advance = static_cast<float>(fm_.horizontalAdvance(c));
            }
            line += advance;
        }
        return std::max(widest, line);
    }
    const QFontMetricsF& metrics() const { return fm_; }

private:
    QFontMetricsF fm_;
    std::vector<float> advances_;  // by UTF-16 unit; -1 until measured
};

// Lays `text` out in lines of `width`; the layout is ready to draw.
double layoutText(QTextLayout& layout, double width) {
    layout.setTextOption(wrapOption());
    layout.beginLayout();
    double height = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

// One line of text in `rect`, laid out for `device` whatever the painter
// paints on (the preview paints a printer's page on the screen, scaled).
void drawLine(QPainter& painter, QPaintDevice& device, const QFont& font, const QRectF& rect,
              const QString& text, Qt::Alignment align) {
    QTextLayout layout(text, font, &device);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(rect.width());
        const double used = line.naturalTextWidth();
        const double x = align & Qt::AlignHCenter ? (rect.width() - used) / 2
                         : align & Qt::AlignRight ? rect.width() - used
                                                  : 0;
        line.setPosition(QPointF(x, 0));
    }
    layout.endLayout();
    layout.draw(&painter, rect.topLeft());
}

double textHeight(const QString& text, const QFont& font, QPaintDevice& device, double width) {
    QTextLayout layout(text, font, &device);
    return std::max(layoutText(layout, width), QFontMetricsF(font, &device).height());
}

// Shares `available` among columns that want `natural`: columns narrower than
// an even share keep their width, the others split what is left; any room to
// spare widens every column in proportion.
QList<double> fitWidths(const QList<double>& natural, double available) {
    const double total = std::accumulate(natural.begin(), natural.end(), 0.0);
    QList<double> widths = natural;
    if (natural.isEmpty()) {
        return widths;
    }
    if (total <= available) {
        for (double& w : widths) {
            w = total > 0 ? w * available / total : available / natural.size();
        }
        return widths;
    }
    QList<bool> fixed(natural.size(), false);
    double left = available;
    qsizetype open = natural.size();
    bool changed = true;
    while (changed && open > 0) {
        changed = false;
        const double share = left / open;
        for (qsizetype i = 0; i < natural.size(); ++i) {
            if (!fixed[i] && natural[i] <= share) {
                fixed[i] = true;
                left -= natural[i];
                --open;
                changed = true;
            }
        }
    }
    for (qsizetype i = 0; i < natural.size(); ++i) {
        if (!fixed[i]) {
            widths[i] = left / open;
        }
    }
    return widths;
}

}  // namespace

QString printedText(const QString& cell) {
    const bool plain = std::none_of(cell.cbegin(), cell.cend(),
                                    [](QChar c) { return c == u'\r' || c == u'\n' || c == u'\t'; });
    if (plain) {
        return cell;
    }
    QString text = cell;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace('\r', '\n');
    text.replace('\n', QChar::LineSeparator);
    text.replace('\t', ' ');
    return text;
}

// Distances in device units for the device being painted.
struct ReportPainter::Metrics {
    explicit Metrics(QPaintDevice& device) {
        const double mm = device.logicalDpiY() / 25.4;
        padX = 1.2 * mm;
        padY = 0.8 * mm;
        gap = 2.5 * mm;
        line = std::max(1.0, 0.2 * mm);
        width = device.width();
        height = device.height();
    }
    double padX, padY, gap, line, width, height;
    double heading = 0;  // hotel name, title and date line, with the gap below
    double footer = 0;   // page number line, with the gap above
};

ReportPainter::ReportPainter(const Report& report)
    : report_(report),
      hotelFont_(reportFont(13, true)),
      titleFont_(reportFont(16, true)),
      metaFont_(reportFont(9, false)),
      headerFont_(reportFont(10, true)),
      bodyFont_(reportFont(10, false)) {}

ReportPainter::~ReportPainter() = default;

QPageLayout::Orientation ReportPainter::preferredOrientation(const Report& report) {
    if (report.headers.size() > kPortraitColumnLimit) {
        return QPageLayout::Landscape;
    }
    // Measured in points: a 72-dpi image as the measuring device.
    QImage points(1, 1, QImage::Format_RGB32);
    points.setDotsPerMeterX(qRound(72 / 0.0254));
    points.setDotsPerMeterY(qRound(72 / 0.0254));
    const QFontMetricsF header(reportFont(10, true), &points);
    const QFontMetricsF body(reportFont(10, false), &points);
    const double pad = 2 * 1.2 * 72 / 25.4;
    const QPageLayout portrait(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                               QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                               QPageLayout::Millimeter);
    const double available = portrait.paintRect(QPageLayout::Point).width();
    QList<double> widest;
    for (qsizetype c = 0; c < report.headers.size(); ++c) {
        widest << naturalWidth(header, report.headers[c]);
    }
    const auto total = [&] {
        double sum = 0;
        for (const double w : widest) {
            sum += w + pad;
        }
        return sum;
    };
    CellWidths cells(body);
    for (int r = 0; r < report.rowCount; ++r) {
        for (qsizetype c = 0; c < widest.size(); ++c) {
            widest[c] =
                std::max(widest[c], cells.width(printedText(report.cell(r, static_cast<int>(c)))));
        }
        if (r % 256 == 255 && total() > available) {
            return QPageLayout::Landscape;  // already too wide: the rest cannot narrow it
        }
    }
    return total() > available ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QPageLayout ReportPainter::pageLayout(const Report& report) {
    return QPageLayout(QPageSize(QPageSize::A4), preferredOrientation(report),
                       QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                       QPageLayout::Millimeter);
}

void ReportPainter::layout(QPaintDevice& device, const Metrics& m) {
    const QFontMetricsF header(headerFont_, &device);
    const QFontMetricsF body(bodyFont_, &device);
    const qsizetype columns = report_.headers.size();

    // Natural widths, none wider than 45% of the page, so that one long
    // remark does not squeeze every other column. Each cell's own width is
    // kept (as a float) for the heights below.
    QList<double> natural;
    for (qsizetype c = 0; c < columns; ++c) {
        natural << naturalWidth(header, report_.headers[c]);
    }
    CellWidths measure(body);
    std::vector<float> cellWidths;
    cellWidths.reserve(std::size_t(report_.rowCount) * columns);
    std::vector<bool> multiLine(std::size_t(report_.rowCount), false);
    for (int r = 0; r < report_.rowCount; ++r) {
        for (qsizetype c = 0; c < columns; ++c) {
            const QString text = printedText(report_.cell(r, static_cast<int>(c)));
            if (text.contains(QChar::LineSeparator)) {
                multiLine[r] = true;
            }
            const double w = measure.width(text);
            cellWidths.push_back(static_cast<float>(w));
            natural[c] = std::max(natural[c], w);
        }
    }
    for (double& w : natural) {
        w = std::min(w + 2 * m.padX, 0.45 * m.width);
    }
    widths_ = fitWidths(natural, m.width);

    const double body_height = m.height - m.heading - m.footer;
    headerHeight_ = 0;
    for (qsizetype c = 0; c < columns; ++c) {
        headerHeight_ = std::max(headerHeight_, textHeight(report_.headers[c], headerFont_, device,
                                                           widths_[c] - 2 * m.padX));
    }
    headerHeight_ = std::min(headerHeight_ + 2 * m.padY, body_height / 4);

    // A row whose cells all fit on one line is one line high (the taller of
    // a Latin and a Chinese line); only the others are laid out. A row taller
    // than a page is cut at the page's foot.
    const double oneLine = std::max(textHeight(QStringLiteral("Ag"), bodyFont_, device, m.width),
                                    textHeight(QStringLiteral("宾Ag"), bodyFont_, device, m.width));
    const double rowsHeight = body_height - headerHeight_;
    rowHeights_.clear();
    rowHeights_.reserve(report_.rowCount);
    for (int r = 0; r < report_.rowCount; ++r) {
        bool fits = !multiLine[r];
        for (qsizetype c = 0; fits && c < columns; ++c) {
            // Near the edge the cell is measured whole.
            const double room = widths_[c] - 2 * m.padX;
            const double w = cellWidths[std::size_t(r) * columns + c];
            fits = w <= 0.97 * room ||
                   (w <= 1.03 * room &&
                    naturalWidth(body, printedText(report_.cell(r, static_cast<int>(c)))) <= room);
        }
        double h = oneLine;
        if (!fits) {
            h = 0;
            for (qsizetype c = 0; c < columns; ++c) {
                h = std::max(h, textHeight(printedText(report_.cell(r, static_cast<int>(c))),
                                           bodyFont_, device, widths_[c] - 2 * m.padX));
            }
        }
        rowHeights_ << static_cast<float>(std::min(h + 2 * m.padY, rowsHeight));
    }

    pages_.clear();
    Page page;
    double used = 0;
    for (int r = 0; r < rowHeights_.size(); ++r) {
        if (r > page.first && used + rowHeights_[r] > rowsHeight) {
            page.end = r;
            pages_ << page;
            page = Page{r, r};
            used = 0;
        }
        used += rowHeights_[r];
    }
    page.end = static_cast<int>(rowHeights_.size());
    pages_ << page;
}

void ReportPainter::prepare(QPaintDevice& device) {
    device_ = &device;
    metrics_ = std::make_unique<Metrics>(device);
    Metrics& m = *metrics_;
    m.heading =
        (report_.hotelName.isEmpty() ? 0
                                     : QFontMetricsF(hotelFont_, &device).height() + m.gap / 2) +
        QFontMetricsF(titleFont_, &device).height() + m.gap / 2 +
        QFontMetricsF(metaFont_, &device).height() + m.gap / 2;
    m.footer = m.gap + QFontMetricsF(metaFont_, &device).height();
    layout(device, m);
}

QSizeF ReportPainter::pageSize() const {
    return metrics_ ? QSizeF(metrics_->width, metrics_->height) : QSizeF();
}

bool ReportPainter::paint(QPagedPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    prepare(device);
    for (int i = 0; i < pageCount(); ++i) {
        if (i > 0 && !device.newPage()) {
            return false;
        }
        paintPage(painter, i);
    }
    return painter.end();
}

void ReportPainter::paintPage(QPainter& painter, int index) {
    if (!metrics_ || index < 0 || index >= pageCount()) {
        return;
    }
    QPaintDevice& device = *device_;
    const Metrics& m = *metrics_;
    const Page& page = pages_[index];
    double y = 0;

    // Heading.
    auto centred = [&](const QFont& font, const QString& text) {
        const double h = QFontMetricsF(font, &device).height();
        drawLine(painter, device, font, QRectF(0, y, m.width, h), text, Qt::AlignHCenter);
        y += h + m.gap / 2;
    };
    painter.setPen(Qt::black);
    if (!report_.hotelName.isEmpty()) {
        centred(hotelFont_, report_.hotelName);
    }
    centred(titleFont_, report_.title);
    const double metaHeight = QFontMetricsF(metaFont_, &device).height();
    const QRectF meta(0, y, m.width, metaHeight);
    drawLine(painter, device, metaFont_, meta,
             QStringLiteral("打印日期：%1")
                 .arg(report_.printed.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
             Qt::AlignLeft);
    drawLine(painter, device, metaFont_, meta,
             QStringLiteral("记录数：%1").arg(report_.rowCount), Qt::AlignRight);
    y = m.heading;

    // Table: header row, then the page's rows.
    const qsizetype columns = report_.headers.size();
    const double tableWidth = std::accumulate(widths_.begin(), widths_.end(), 0.0);
    auto drawRow = [&](const QStringList& cells, const QFont& font, double height) {
        double x = 0;
        for (qsizetype c = 0; c < columns; ++c) {
            const QRectF cell(x, y, widths_[c], height);
            painter.save();
            painter.setClipRect(cell);
            QTextLayout text(printedText(cells[c]), font, &device);
            layoutText(text, widths_[c] - 2 * m.padX);
            text.draw(&painter, QPointF(x + m.padX, y + m.padY));
            painter.restore();
            x += widths_[c];
        }
        y += height;
    };
    const double tableTop = y;
    if (columns > 0) {
        painter.fillRect(QRectF(0, y, tableWidth, headerHeight_), QColor(0xE8, 0xE8, 0xE8));
        drawRow(report_.headers, headerFont_, headerHeight_);
        for (int r = page.first; r < page.end; ++r) {
            drawRow(report_.row(r), bodyFont_, rowHeights_[r]);
        }
        // Grid.
        painter.setPen(QPen(Qt::black, m.line));
        double x = 0;
        painter.drawLine(QPointF(0, tableTop), QPointF(tableWidth, tableTop));
        double rowY = tableTop + headerHeight_;
        painter.drawLine(QPointF(0, rowY), QPointF(tableWidth, rowY));
        for (int r = page.first; r < page.end; ++r) {
            rowY += rowHeights_[r];
            painter.drawLine(QPointF(0, rowY), QPointF(tableWidth, rowY));
        }
        for (qsizetype c = 0; c <= columns; ++c) {
            painter.drawLine(QPointF(x, tableTop), QPointF(x, y));
            if (c < columns) {
                x += widths_[c];
            }
        }
    }
    if (report_.rowCount == 0) {
        drawLine(painter, device, bodyFont_,
                 QRectF(0, y + m.gap, m.width, m.height - y - m.gap - m.footer),
                 QStringLiteral("（无记录）"), Qt::AlignHCenter);
    }

    // Foot.
    drawLine(painter, device, metaFont_, QRectF(0, m.height - metaHeight, m.width, metaHeight),
             QStringLiteral("第 %1 页 / 共 %2 页").arg(index + 1).arg(pageCount()),
             Qt::AlignHCenter);
}

}  // namespace qvprint
