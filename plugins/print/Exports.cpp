// The library's exports: PrintForm_Show (the print window) and
// PrintForm_Render (the same report written to a file without a window).

#include "QuorvanePrint.h"

#include "PrintPreview.h"
#include "Report.h"

#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Guard.h"
#include "platform/IniFile.h"
#include "platform/QtDialogs.h"

#include "platform/ProgramText.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <dlfcn.h>
#include <cstdio>

namespace {

// The program's folder: the parent of the folder this library was loaded
// from (the program keeps it as Dll/libPrint.so).
QString programDir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PrintForm_Show), &info) && info.dli_fname) {
        QDir dir = QFileInfo(QFile::decodeName(info.dli_fname)).absoluteDir();
        if (dir.cdUp()) {
            return dir.path();
        }
    }
    return QCoreApplication::applicationDirPath();
}

// [SystemInfo] HotelName of the program's Mirefold.ini, read at each call so
// that a changed name prints at once.
QString hotelName() {
    const qv::IniFile ini(QDir(programDir()).filePath(QStringLiteral("Mirefold.ini")));
    return ini.readString(QStringLiteral("SystemInfo"), QStringLiteral("HotelName"), QString())
        .trimmed();
}

// The library's own reference to the result set, held while the report reads
// its rows (for as long as the print window is open).
class Hold {
public:
    explicit Hold(QvRecordset* rs) : rs_(rs) { rs_->vtbl->addRef(rs_); }
    ~Hold() { rs_->vtbl->release(rs_); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    QvRecordset* rs_;
};

qvprint::Report describe(QvRecordset* rs, uint8_t kind) {
    return qvprint::buildReport(*rs, kind, hotelName(), QDateTime::currentDateTime());
}

// The owner named by AppHandle when it is one of the program's widgets, else
// the window the operator is working in.
QWidget* owner(uintptr_t handle) {
    if (handle != 0) {
        for (QWidget* w : QApplication::allWidgets()) {
            if (reinterpret_cast<uintptr_t>(w) == handle) {
                return w->window();
            }
        }
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

// The library's boxes are real ones while a call runs.
class BoxesScope {
public:
    BoxesScope() : previous_(qv::setDialogs(&boxes_)) {
        if (qv::applicationTitle().isEmpty()) {
            qv::setApplicationTitle(QGuiApplication::applicationDisplayName());
        }
    }
    ~BoxesScope() { qv::setDialogs(previous_); }
    BoxesScope(const BoxesScope&) = delete;
    BoxesScope& operator=(const BoxesScope&) = delete;

private:
    qv::QtDialogs boxes_;
    qv::Dialogs* previous_;
};

}  // namespace

extern "C" QV_PRINT_API void PrintForm_Show(TPrintFromDll rec) {
    try {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fputs("PrintForm_Show: the print window needs the program's QApplication\n",
                       stderr);
            return;
        }
        const BoxesScope boxes;
        qv::guarded([&] {
            if (!rec.Recordset) {
                qv::messageBox(qv::programText(QStringLiteral("提示")),
                               qv::programText(QStringLiteral("没有可打印的记录，请先查询。")),
                               qv::Icon::Information);
                return;
            }
            if (!qvprint::isUsable(rec.Recordset)) {
                qv::messageBox(qv::programText(QStringLiteral("提示")),
                               qv::programText(QStringLiteral("打印数据不完整，无法打印。")),
                               qv::Icon::Error);
                return;
            }
            const Hold hold(rec.Recordset);
            const qvprint::Report report = describe(rec.Recordset, rec.PrintKind);
            qvprint::PrintPreviewWindow window(report, owner(rec.AppHandle));
            window.exec();
        });
    } catch (...) {
        // Nothing crosses into the program.
    }
}

extern "C" QV_PRINT_API int32_t PrintForm_Render(TPrintFromDll rec, const char* path,
                                                 int32_t format) {
    try {
        if (!path || !*path || (format != QV_PRINT_FORMAT_PDF && format != QV_PRINT_FORMAT_CSV)) {
            return QV_PRINT_BAD_ARGUMENT;
        }
        if (!qvprint::isUsable(rec.Recordset)) {
            return QV_PRINT_NO_RECORDSET;
        }
        if (format == QV_PRINT_FORMAT_PDF &&
            !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            std::fputs("PrintForm_Render: PDF output needs the program's QApplication\n", stderr);
            return QV_PRINT_BAD_ARGUMENT;
        }
        const Hold hold(rec.Recordset);
        const qvprint::Report report = describe(rec.Recordset, rec.PrintKind);
        const QString file = QString::fromUtf8(path);
        QString error;
        const bool written = format == QV_PRINT_FORMAT_PDF ? qvprint::writePdf(report, file, error)
                                                           : qvprint::writeCsv(report, file, error);
        if (!written) {
            std::fprintf(stderr, "PrintForm_Render: %s: %s\n", path, qUtf8Printable(error));
            return QV_PRINT_WRITE_FAILED;
        }
        return QV_PRINT_OK;
    } catch (...) {
        return QV_PRINT_WRITE_FAILED;
    }
}
