#include "PrintPreview.h"

#include "ReportPainter.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"

#include "platform/ProgramText.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace qvprint {
namespace {

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

PrintPreviewWindow::PrintPreviewWindow(const Report& report, QWidget* parent)
    : QDialog(parent), report_(report), printer_(QPrinter::HighResolution) {
    setObjectName(QStringLiteral("PrintPreview_Form"));
    setWindowTitle(qv::programText(QStringLiteral("打印预览 - %1")).arg(report.title));
    setModal(true);
    resize(960, 720);

    printer_.setPageLayout(ReportPainter::pageLayout(report));
    printer_.setDocName(report.title);

    auto* print = button(qv::programText(QStringLiteral("打印(&P)")), "Print_Bt", this);
    auto* pdf = button(qv::programText(QStringLiteral("保存为PDF")), "SavePdf_Bt", this);
    auto* csv = button(qv::programText(QStringLiteral("保存为CSV")), "SaveCsv_Bt", this);
    auto* zoomOut = button(qv::programText(QStringLiteral("缩小")), "ZoomOut_Bt", this);
    auto* zoomIn = button(qv::programText(QStringLiteral("放大")), "ZoomIn_Bt", this);
    auto* fitWidth = button(qv::programText(QStringLiteral("适合宽度")), "FitWidth_Bt", this);
    auto* wholePage = button(qv::programText(QStringLiteral("整页")), "WholePage_Bt", this);
    auto* close = button(qv::programText(QStringLiteral("关闭(&C)")), "Close_Bt", this);

    preview_ = new QPrintPreviewWidget(&printer_, this);
    preview_->setObjectName(QStringLiteral("Preview"));
    preview_->setZoomMode(QPrintPreviewWidget::FitToWidth);
    pages_ = new QLabel(this);
    pages_->setObjectName(QStringLiteral("Pages_Label"));

    auto* tools = new QHBoxLayout;
    tools->addWidget(print);
    tools->addWidget(pdf);
    tools->addWidget(csv);
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
    layout->addWidget(preview_, 1);
    layout->addLayout(foot);

    connect(preview_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
        qv::guarded([&] {
            if (!ReportPainter(report_).paint(*printer)) {
                throw qv::Error(qv::programText(QStringLiteral("无法生成预览页面。")));
            }
        });
    });
    connect(preview_, &QPrintPreviewWidget::previewChanged, this,
            &PrintPreviewWindow::showPageCount);
    connect(print, &QPushButton::clicked, this, qv::slot(this, &PrintPreviewWindow::Print_BtClick));
    connect(pdf, &QPushButton::clicked, this, qv::slot(this, &PrintPreviewWindow::SavePdf_BtClick));
    connect(csv, &QPushButton::clicked, this, qv::slot(this, &PrintPreviewWindow::SaveCsv_BtClick));
    connect(zoomIn, &QPushButton::clicked, preview_, [this] { preview_->zoomIn(); });
    connect(zoomOut, &QPushButton::clicked, preview_, [this] { preview_->zoomOut(); });
    connect(fitWidth, &QPushButton::clicked, preview_, &QPrintPreviewWidget::fitToWidth);
    connect(wholePage, &QPushButton::clicked, preview_, &QPrintPreviewWidget::fitInView);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    print->setFocus();
}

void PrintPreviewWindow::showPageCount() {
    pages_->setText(qv::programText(QStringLiteral("共 %1 页，%2 条记录"))
                        .arg(preview_->pageCount())
                        .arg(report_.rows.size()));
}

void PrintPreviewWindow::Print_BtClick() {
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(qv::programText(QStringLiteral("打印 %1")).arg(report_.title));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const bool printed = ReportPainter(report_).paint(printer_);
    preview_->updatePreview();  // the operator may have changed paper or orientation
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

void PrintPreviewWindow::SavePdf_BtClick() {
    QString path;
    if (!chooseFile(qv::programText(QStringLiteral("保存为PDF")),
                    qv::programText(QStringLiteral("PDF 文件 (*.pdf)")), QStringLiteral("pdf"),
                    path)) {
        return;
    }
    QString error;
    if (!writePdf(report_, path, error)) {
        throw qv::Error(qv::programText(QStringLiteral("无法保存 %1：%2"))
                            .arg(QDir::toNativeSeparators(path), error));
    }
    qv::messageBox(
        qv::programText(QStringLiteral("提示")),
        qv::programText(QStringLiteral("报表已保存为 %1。")).arg(QDir::toNativeSeparators(path)),
        qv::Icon::Information);
}

void PrintPreviewWindow::SaveCsv_BtClick() {
    QString path;
    if (!chooseFile(qv::programText(QStringLiteral("保存为CSV")),
                    qv::programText(QStringLiteral("CSV 文件 (*.csv)")), QStringLiteral("csv"),
                    path)) {
        return;
    }
    QString error;
    if (!writeCsv(report_, path, error)) {
        throw qv::Error(qv::programText(QStringLiteral("无法保存 %1：%2"))
                            .arg(QDir::toNativeSeparators(path), error));
    }
    qv::messageBox(
        qv::programText(QStringLiteral("提示")),
        qv::programText(QStringLiteral("报表已保存为 %1。")).arg(QDir::toNativeSeparators(path)),
        qv::Icon::Information);
}

}  // namespace qvprint
