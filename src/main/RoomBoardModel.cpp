#include "main/RoomBoardModel.h"

#include "data/CurrentStays.h"

#include "data/Connection.h"
#include "data/RowReader.h"

#include <utility>

namespace {

// The query's expression for each column of an item, in column order.
constexpr const char* kColumnFields[TRoomBoardItem::ColumnCount] = {
    "I.RoomStr",     "I.Buiding",        "I.Floor",     "I.District",  "I.RoomTypeStr",
    "T.Size",        "S.State_Title",    "G.Rom",       "G.GuestName", "G.GuestID",
    "G.GuestInTime", "G.GuestLeaveTime", "G.LeaveTime", "G.InputUser", "G.InputTime"};

}  // namespace

int TRoomBoardItem::pictureFor(int roomState, bool currentStay) {
    switch (roomState) {
        case 0:
            return currentStay ? GuestIn : Normal;
        case 1:
            return currentStay ? GuestInModiRoom : NormalModiRoom;
        default:
            return Normal;
    }
}

QString TRoomBoardItem::text(int column) const {
    const auto c = static_cast<std::size_t>(column);
    if (!isNumber(column) || (textNumbers & (1u << column))) {
        return texts[c];
    }
    if (nullNumbers & (1u << column)) {
        return {};
    }
    return QString::number(numbers[c], 'g', 15);
}

namespace RoomBoardQuery {

QString text(bool byBuilding, bool byFloor) {
    QStringList fields;
    for (const char* field : kColumnFields) {
        fields << QLatin1String(field);
    }
    fields << QStringLiteral("S.ID");  // StateField
    QString sql = QStringLiteral("select ") + fields.join(QStringLiteral(", ")) +
                  QStringLiteral("\nfrom ") + qv::roomsWithCurrentStays() +
                  QStringLiteral("\nleft join RoomType T on T.ID = I.RoomType\n");
    QStringList conditions;
    if (byBuilding) {
        conditions << QStringLiteral("I.Buiding = :building");
    }
    if (byFloor) {
        conditions << QStringLiteral("I.Floor = :floor");
    }
    if (!conditions.isEmpty()) {
        sql +=
            QStringLiteral("where ") + conditions.join(QStringLiteral(" and ")) + QLatin1Char('\n');
    }
    sql += QStringLiteral("order by I.Buiding, I.Floor, I.Room, G.ID");
    return sql;
}

std::vector<TRoomBoardItem> read(qv::Connection& conn, std::optional<int> building,
                                 std::optional<int> floor) {
    qv::Binds binds;
    if (building) {
        binds.insert(QStringLiteral(":building"), *building);
    }
    if (floor) {
        binds.insert(QStringLiteral(":floor"), *floor);
    }
    qv::RowReader q(conn, text(building.has_value(), floor.has_value()), binds);
    std::vector<TRoomBoardItem> items;
    while (q.next()) {
        TRoomBoardItem& item = items.emplace_back();
        for (int c = 0; c < TRoomBoardItem::ColumnCount; ++c) {
            const auto i = static_cast<std::size_t>(c);
            if (!TRoomBoardItem::isNumber(c)) {
                item.texts[i] = q.text(c);
            } else if (q.isNull(c)) {
                item.nullNumbers |= 1u << c;
            } else if (q.isNumber(c)) {
                item.numbers[i] = q.number(c);
            } else {
                item.texts[i] = q.text(c);
                item.textNumbers |= 1u << c;
            }
        }
        // A current stay with a start marks the room occupied.
        item.picture = TRoomBoardItem::pictureFor(q.integer(StateField),
                                                  !q.isNull(TRoomBoardItem::GuestInTime));
    }
    return items;
}

}  // namespace RoomBoardQuery

TRoomBoardModel::TRoomBoardModel(QObject* parent) : QAbstractTableModel(parent) {
    titles_ = {QStringLiteral("客房"),     QStringLiteral("楼号"),     QStringLiteral("楼层"),
               QStringLiteral("区域号"),   QStringLiteral("客房类型"), QStringLiteral("可住人数"),
               QStringLiteral("房态"),     QStringLiteral("卡号"),     QStringLiteral("客人"),
               QStringLiteral("身份证"),   QStringLiteral("入住时间"), QStringLiteral("预离时间"),
               QStringLiteral("离开时间"), QStringLiteral("操作人员"), QStringLiteral("登记时间")};
    Q_ASSERT(titles_.size() == TRoomBoardItem::ColumnCount);
}

void TRoomBoardModel::setPictures(const std::array<QIcon, TRoomBoardItem::PictureCount>& pictures) {
    pictures_ = pictures;
    if (!items_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
    }
}

const QIcon& TRoomBoardModel::picture(int index) const {
    return pictures_.at(static_cast<std::size_t>(index));
}

void TRoomBoardModel::setItems(std::vector<TRoomBoardItem> items) {
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

int TRoomBoardModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int TRoomBoardModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : TRoomBoardItem::ColumnCount;
}

QVariant TRoomBoardModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const TRoomBoardItem& it = items_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return it.text(index.column());
        case Qt::DecorationRole:
            return index.column() == TRoomBoardItem::Room ? QVariant(picture(it.picture))
                                                          : QVariant();
        case Qt::TextAlignmentRole:
            if (index.column() == TRoomBoardItem::RoomState) {
                return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
            }
            return {};
        default:
            return {};
    }
}

QVariant TRoomBoardModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return titles_[section];
    }
    if (role == Qt::TextAlignmentRole && section == TRoomBoardItem::RoomState) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
    return {};
}

bool TRoomBoardModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                    int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return false;
    }
    titles_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags TRoomBoardModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
