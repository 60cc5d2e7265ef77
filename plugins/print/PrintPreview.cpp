#include "PrintPreview.h"

#include "ReportPainter.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"

#include "platform/ProgramText.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QtMath>

#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>

namespace qvprint {
namespace {

constexpr int kPageMargin = 12;  // grey around the page, screen pixels

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

PageView::PageView(ReportPainter& painter, QPrinter& printer, QWidget* parent)
    : QWidget(parent), painter_(painter), printer_(printer) {
    setObjectName(QStringLiteral("Preview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSizeF PageView::paperSize() const {
    return printer_.pageLayout().fullRectPixels(printer_.resolution()).size();
}

void PageView::setPage(int index) {
    page_ = std::clamp(index, 0, std::max(0, painter_.pageCount() - 1));
    setProperty("pageIndex", page_);
    update();
}

void PageView::setScale(double scale) {
    scale_ = std::clamp(scale, 0.005, 2.0);
    const QSizeF paper = paperSize() * scale_;
    setFixedSize(qCeil(paper.width()) + 2 * kPageMargin, qCeil(paper.height()) + 2 * kPageMargin);
    update();
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    const QSizeF paper = paperSize() * scale_;
    p.fillRect(QRectF(kPageMargin, kPageMargin, paper.width(), paper.height()), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPointF inside =
        printer_.pageLayout().paintRectPixels(printer_.resolution()).topLeft() * scale_;
    p.translate(kPageMargin + inside.x(), kPageMargin + inside.y());
    p.scale(scale_, scale_);
    painter_.paintPage(p, page_);
}

PrintPreviewWindow::PrintPreviewWindow(const Report& report, QWidget* parent)
    : QDialog(parent), report_(report), printer_(QPrinter::HighResolution), painter_(report) {
    setObjectName(QStringLiteral("PrintPreview_Form"));
    setWindowTitle(qv::programText(QStringLiteral("打印预览 - %1")).arg(report.title));
    setModal(true);
    resize(960, 720);

    printer_.setPageLayout(ReportPainter::pageLayout(report));
    printer_.setDocName(report.title);
    painter_.prepare(printer_);

    auto* print = button(qv::programText(QStringLiteral("打印(&P)")), "Print_Bt", this);
    auto* pdf = button(qv::programText(QStringLiteral("保存为PDF")), "SavePdf_Bt", this);
    auto* csv = button(qv::programText(QStringLiteral("保存为CSV")), "SaveCsv_Bt", this);
    auto* previous = button(qv::programText(QStringLiteral("上一页")), "PreviousPage_Bt", this);
    auto* next = button(qv::programText(QStringLiteral("下一页")), "NextPage_Bt", this);
    pageBox_ = new QSpinBox(this);
    pageBox_->setObjectName(QStringLiteral("Page_Spin"));
    // The page box shows "第 %1 页" (in the chosen language) around its number.
    const QString pageText = qv::programText(QStringLiteral("第 %1 页"));
    const qsizetype number = std::max<qsizetype>(pageText.indexOf(QStringLiteral("%1")), 0);
    pageBox_->setPrefix(pageText.left(number));
    pageBox_->setSuffix(pageText.mid(number + 2));
    auto* zoomOut = button(qv::programText(QStringLiteral("缩小")), "ZoomOut_Bt", this);
    auto* zoomIn = button(qv::programText(QStringLiteral("放大")), "ZoomIn_Bt", this);
    auto* fitWidth = button(qv::programText(QStringLiteral("适合宽度")), "FitWidth_Bt", this);
    auto* wholePage = button(qv::programText(QStringLiteral("整页")), "WholePage_Bt", this);
    auto* close = button(qv::programText(QStringLiteral("关闭(&C)")), "Close_Bt", this);

    view_ = new PageView(painter_, printer_, this);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("Preview_Area"));
    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
    view_->setFocusPolicy(Qt::StrongFocus);
    pages_ = new QLabel(this);
    pages_->setObjectName(QStringLiteral("Pages_Label"));

    auto* tools = new QHBoxLayout;
    tools->addWidget(print);
    tools->addWidget(pdf);
    tools->addWidget(csv);
    tools->addStretch();
    tools->addWidget(previous);
    tools->addWidget(pageBox_);
    tools->addWidget(next);
    tools->addStretch();
    tools->addWidget(zoomOut);
    tools->addWidget(zoomIn);
    tools->addWidget(fitWidth);
    tools->addWidget(wholePage);
    auto* foot = new QHBoxLayout;
    foot->addWidget(pages_);
    foot->addStretch();
    foot->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(scroll_, 1);
    layout->addLayout(foot);

    connect(print, &QPushButton::clicked, this, qv::slot(this, &PrintPreviewWindow::Print_BtClick));
    connect(pdf, &QPushButton::clicked, this, qv::slot(this, &PrintPreviewWindow::SavePdf_BtClick));
    connect(csv, &QPushButton::clicked, this, qv::slot(this, &PrintPreviewWindow::SaveCsv_BtClick));
    connect(previous, &QPushButton::clicked, this, [this] { goToPage(view_->page() - 1); });
    connect(next, &QPushButton::clicked, this, [this] { goToPage(view_->page() + 1); });
    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int n) { goToPage(n - 1); });
    connect(zoomIn, &QPushButton::clicked, this, [this] { zoomBy(1.25); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { zoomBy(0.8); });
    connect(fitWidth, &QPushButton::clicked, this, [this] { fit(Fit::Width); });
    connect(wholePage, &QPushButton::clicked, this, [this] { fit(Fit::Page); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    showPageCount();
    fit(Fit::Width);
    print->setFocus();
}

bool PrintPreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize && fit_ != Fit::None) {
        fit(fit_);
    }
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            goToPage(view_->page() + (key == Qt::Key_PageDown ? 1 : -1));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PrintPreviewWindow::goToPage(int index) {
    view_->setPage(index);
    const QSignalBlocker quiet(pageBox_);
    pageBox_->setValue(view_->page() + 1);
    scroll_->verticalScrollBar()->setValue(0);
}

void PrintPreviewWindow::fit(Fit how) {
    fit_ = how;
    const QSizeF paper = view_->paperSize();
    if (paper.isEmpty()) {
        return;
    }
    const QSize room = scroll_->viewport()->size() - QSize(2 * kPageMargin, 2 * kPageMargin);
    const double across = room.width() / paper.width();
    view_->setScale(how == Fit::Page ? std::min(across, room.height() / paper.height()) : across);
}

void PrintPreviewWindow::zoomBy(double factor) {
    fit_ = Fit::None;
    view_->setScale(view_->scale() * factor);
}

void PrintPreviewWindow::showPageCount() {
    const int count = painter_.pageCount();
    pageBox_->setRange(1, std::max(1, count));
    view_->setProperty("pageCount", count);
    pages_->setText(qv::programText(QStringLiteral("共 %1 页，%2 条记录")).arg(count).arg(report_.rowCount));
}

void PrintPreviewWindow::Print_BtClick() {
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(qv::programText(QStringLiteral("打印 %1")).arg(report_.title));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const bool printed = ReportPainter(report_).paint(printer_);
    // The operator may have changed paper or orientation.
    painter_.prepare(printer_);
    showPageCount();
    goToPage(view_->page());
    fit(fit_ == Fit::None ? Fit::Width : fit_);
    if (!printed) {
        throw qv::Error(
            qv::programText(QStringLiteral("无法打印到 %1。")).arg(printer_.printerName()));
    }
}

bool PrintPreviewWindow::chooseFile(const QString& title, const QString& filter,
                                    const QString& suffix, QString& path) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    path = QDir(folder).filePath(report_.suggestedFileName(suffix));
    if (!qv::dialogs().saveFile(title, filter, path)) {
        return false;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += '.' + suffix;
    }
    return true;
}

void PrintPreviewWindow::saveAs(const QString& title, const QString& filter,
                                const QString& suffix,
                                bool (*write)(const Report&, const QString&, QString&)) {
    QString path;
    if (!chooseFile(title, filter, suffix, path)) {
        return;
    }
    QString error;
    if (!write(report_, path, error)) {
        throw qv::Error(qv::programText(QStringLiteral("无法保存 %1：%2"))
                            .arg(QDir::toNativeSeparators(path), error));
    }
    qv::messageBox(
        qv::programText(QStringLiteral("提示")),
        qv::programText(QStringLiteral("报表已保存为 %1。")).arg(QDir::toNativeSeparators(path)),
        qv::Icon::Information);
}

void PrintPreviewWindow::SavePdf_BtClick() {
    saveAs(qv::programText(QStringLiteral("保存为PDF")),
           qv::programText(QStringLiteral("PDF 文件 (*.pdf)")), QStringLiteral("pdf"), writePdf);
}

void PrintPreviewWindow::SaveCsv_BtClick() {
    saveAs(qv::programText(QStringLiteral("保存为CSV")),
           qv::programText(QStringLiteral("CSV 文件 (*.csv)")), QStringLiteral("csv"), writeCsv);
}

}  // namespace qvprint
