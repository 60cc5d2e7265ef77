#include "Report.h"

#include "PdfText.h"
#include "ReportPainter.h"
#include "platform/PrivateFiles.h"

#include "platform/ProgramText.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <span>

namespace qvprint {
namespace {

struct Column {
    const char* field;   // column name in the result set
    const char* header;  // printed header (UTF-8)
};

// The columns each report prints: those the record windows show in their grids.
constexpr std::array kDoorOpenings{
    Column{"RoomStr", "房间号"},    Column{"CardTypeStr", "卡类型"},
    Column{"Rom", "卡号"},          Column{"CardHolderStr", "持卡人"},
    Column{"OpenTime", "开门时间"}, Column{"MakeName", "发卡人"},
};
constexpr std::array kCardIssues{
    Column{"C_Title", "卡种类"}, Column{"Holder", "持卡人"},      Column{"MakeName", "发卡人"},
    Column{"RoomStr", "房间"},   Column{"InputTime", "发卡时间"}, Column{"EndTime", "结束时间"},
};
constexpr std::array kGuestStays{
    Column{"GuestName", "宾客姓名"},
    Column{"GuestID", "证件号码"},
    Column{"Room", "房号"},
    Column{"GuestInTime", "入住时间"},
    Column{"GuestLeaveTime", "预离时间"},
    Column{"LeaveTime", "退房时间"},
    Column{"InputUser", "操作员姓名"},
    Column{"InputTime", "登记时间"},
};

constexpr std::array kOperations{
    Column{"LogTime", "时间"}, Column{"StafferName", "操作员"}, Column{"Workstation", "工作站"},
    Column{"Action", "操作"},  Column{"Object", "房间/对象"},   Column{"Detail", "详情"},
    Column{"Result", "结果"},
};

std::span<const Column> layoutOf(int kind) {
    switch (kind) {
        case QV_PRINT_KIND_DOOR_OPENINGS:
            return kDoorOpenings;
        case QV_PRINT_KIND_CARD_ISSUES:
            return kCardIssues;
        case QV_PRINT_KIND_GUEST_STAYS:
            return kGuestStays;
        case QV_PRINT_KIND_OPERATIONS:
            return kOperations;
        default:
            return {};
    }
}

QString text(const char* utf8) {
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

// "M.Rom" and "Rom" name the same column.
QString bareName(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return (dot >= 0 ? name.mid(dot + 1) : name).trimmed();
}

QString csvField(const QString& value) {
    const bool quote =
        value.contains(',') || value.contains('"') || value.contains('\n') || value.contains('\r');
    if (!quote) {
        return value;
    }
    QString quoted = value;
    quoted.replace('"', QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

QString csvLine(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& f : fields) {
        out << csvField(f);
    }
    return out.join(',') + QStringLiteral("\r\n");
}

}  // namespace

QString reportTitle(int kind) {
    switch (kind) {
        case QV_PRINT_KIND_DOOR_OPENINGS:
            return qv::programText(QStringLiteral("开门记录"));
        case QV_PRINT_KIND_CARD_ISSUES:
            return qv::programText(QStringLiteral("发卡记录"));
        case QV_PRINT_KIND_GUEST_STAYS:
            return qv::programText(QStringLiteral("宾客入住记录"));
        case QV_PRINT_KIND_OPERATIONS:
            return qv::programText(QStringLiteral("操作日志"));
        default:
            return qv::programText(QStringLiteral("记录报表"));
    }
}

QString Report::cell(int row, int column) const {
    return text(source->vtbl->cellText(source, row, sourceColumns[column]));
}

QStringList Report::row(int row) const {
    QStringList cells;
    cells.reserve(sourceColumns.size());
    for (qsizetype c = 0; c < sourceColumns.size(); ++c) {
        cells << cell(row, static_cast<int>(c));
    }
    return cells;
}

QString Report::suggestedFileName(const QString& suffix) const {
    return title + '_' + printed.toString(QStringLiteral("yyyyMMdd_HHmm")) + '.' + suffix;
}

bool isUsable(const QvRecordset* rs) {
    if (!rs || !rs->vtbl) {
        return false;
    }
    const QvRecordsetVtbl& v = *rs->vtbl;
    return v.rowCount && v.columnCount && v.columnName && v.cellText && v.addRef && v.release;
}

Report buildReport(const QvRecordset& rs, int kind, const QString& hotelName,
                   const QDateTime& printed) {
    Report report;
    report.kind = kind;
    report.title = reportTitle(kind);
    report.hotelName = hotelName;
    report.printed = printed;

    const QvRecordsetVtbl& v = *rs.vtbl;
    const int32_t columnCount = std::max<int32_t>(0, v.columnCount(&rs));
    const int32_t rowCount = std::max<int32_t>(0, v.rowCount(&rs));

    QStringList names;
    for (int32_t c = 0; c < columnCount; ++c) {
        names << text(v.columnName(&rs, c));
    }

    // The result set's column for each printed column.
    QList<int32_t> source;
    for (const Column& col : layoutOf(kind)) {
        const QString field = QString::fromUtf8(col.field);
        const QString header = QString::fromUtf8(col.header);
        for (int32_t c = 0; c < columnCount; ++c) {
            const QString name = bareName(names[c]);
            if (name.compare(field, Qt::CaseInsensitive) == 0 || name == header) {
                source << c;
                report.headers << header;
                break;
            }
        }
    }
    if (source.isEmpty()) {
        for (int32_t c = 0; c < columnCount; ++c) {
            source << c;
            report.headers << names[c];
        }
    }

    report.source = &rs;
    report.sourceColumns = source;
    report.rowCount = rowCount;
    return report;
}

QByteArray toCsv(const Report& report) {
    QByteArray out = QByteArrayLiteral("\xEF\xBB\xBF") + csvLine(report.headers).toUtf8();
    for (int r = 0; r < report.rowCount; ++r) {
        out += csvLine(report.row(r)).toUtf8();
    }
    return out;
}

bool writeCsv(const Report& report, const QString& path, QString& error) {
    QSaveFile file(path);
    // Record lists hold guests' names and documents.
    if (!file.open(QIODevice::WriteOnly) || !qv::makePrivate(file)) {
        error = file.errorString();
        return false;
    }
    // Written a row at a time: the file, not the memory, holds the list.
    bool written =
        file.write(QByteArrayLiteral("\xEF\xBB\xBF") + csvLine(report.headers).toUtf8()) >= 0;
    for (int r = 0; written && r < report.rowCount; ++r) {
        written = file.write(csvLine(report.row(r)).toUtf8()) >= 0;
    }
    if (!written || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool writePdf(const Report& report, const QString& path, QString& error) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(report.title);
        pdf.setCreator(QStringLiteral("Quorvane"));
        pdf.setResolution(300);
        pdf.setPageLayout(ReportPainter::pageLayout(report));
        if (!ReportPainter(report).paint(pdf)) {
            error = qv::programText(QStringLiteral("无法生成 PDF 页面。"));
            return false;
        }
    }  // the writer finishes the document here
    QByteArray bytes = buffer.data();
    static const QHash<char16_t, char16_t> equivalents = radicalEquivalents(reportFont(10, false));
    restoreIdeographs(bytes, equivalents);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !qv::makePrivate(file) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace qvprint
