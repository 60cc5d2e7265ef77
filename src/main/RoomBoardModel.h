#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace qv {
class Connection;
}

// One item of the room board: a row of the board query.
struct TRoomBoardItem {
    // Board columns: the room code first, then the detail values.
    enum Column {
        Room,      // RoomStr, the item's caption
        Building,  // Buiding
        Floor,
        District,
        RoomType,   // RoomTypeStr
        Capacity,   // guests the room type takes (RoomType.Size)
        RoomState,  // title of the room state
        Rom,        // card number of the current stay; from here on empty without a stay
        GuestName,
        GuestID,
        GuestInTime,
        GuestLeaveTime,  // planned departure
        LeaveTime,
        InputUser,
        InputTime,
        ColumnCount
    };

    // Pictures: room state 0 or 1, without or with a current stay. Any other
    // state shows the free picture.
    enum Picture {
        Normal = 0,
        NormalModiRoom = 1,
        GuestIn = 2,
        GuestInModiRoom = 3,
        PictureCount = 4
    };
    static int pictureFor(int roomState, bool currentStay);

    // The number columns (building, floor, district, capacity) keep the
    // number, the others their text; text() gives what the board shows.
    static constexpr bool isNumber(int column) {
        return column == Building || column == Floor || column == District || column == Capacity;
    }
    QString text(int column) const;

    std::array<QString, ColumnCount> texts;     // the text columns
    std::array<double, ColumnCount> numbers{};  // the number columns
    unsigned nullNumbers = 0;                   // bit c: number column c is empty
    unsigned textNumbers = 0;  // bit c: number column c holds a text that is no number (in texts)
    int picture = Normal;
    const QString& caption() const { return texts[Room]; }
};

// The board query: every room with its state, joined with its current stays
// (a room with two current stays gives two items), in building, floor and
// room order. Its select list holds the item's columns in column order, then
// the number of the room state (`StateField`); ":building" and ":floor"
// conditions are there when asked for.
namespace RoomBoardQuery {
inline constexpr int StateField = TRoomBoardItem::ColumnCount;
QString text(bool byBuilding, bool byFloor);
// The items of the board for a building and a floor (nothing: every one).
// Throws qv::DbError when the database cannot answer.
std::vector<TRoomBoardItem> read(qv::Connection& conn, std::optional<int> building,
                                 std::optional<int> floor);
}  // namespace RoomBoardQuery

// The rooms of the board for its views: the icon views show column 0 with
// the item's picture, the detail view every column. Read-only; the column
// titles can be replaced (the language store does).
class TRoomBoardModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TRoomBoardModel(QObject* parent = nullptr);

    // The four pictures in picture order, shared by every item.
    void setPictures(const std::array<QIcon, TRoomBoardItem::PictureCount>& pictures);
    const QIcon& picture(int index) const;

    // Replaces every item at once (one reset: selections are dropped).
    void setItems(std::vector<TRoomBoardItem> items);
    void clear() { setItems({}); }
    const std::vector<TRoomBoardItem>& items() const { return items_; }
    const TRoomBoardItem& item(int row) const { return items_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<TRoomBoardItem> items_;
    std::array<QIcon, TRoomBoardItem::PictureCount> pictures_;
    QStringList titles_;
};
