#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;

// The text form of a component's texts (Component_Table.ComponentProperty),
// one line per property:
//
//   name:value          every QString meta-property, in meta-object order
//   Items:TStrings      the item list of combo boxes, radio groups and list
//             0:text    widgets (ten spaces, index, colon, item text)
//   Lines:TStrings      the lines of a plain-text memo, items as above
//   Columns:TDBGridColumns   the column titles of a grid (QTableView), or
//   Columns:TListColumns     of a list view (QTreeWidget, QTreeView,
//      0:title               QTableWidget): three spaces, index, colon, title
//
// Values keep to one line: a line break is written as "\n" and a backslash
// as "\\". Properties whose upper-case name contains "NAME" are never
// applied, nor those that hold a state or markup rather than a caption
// (style sheets, input masks, the current text of a combo box, a memo's whole
// text, which its `Lines` carry). A password box's text is never captured.
namespace qv::language {

// The window's components in creation order (depth-first through the
// children): objects with an object name, except Qt's own ("qt_...") and
// `exclude`.
QList<QObject*> components(const QWidget* window, const QObject* exclude);
// The first component named `name`, or nullptr.
QObject* findComponent(const QList<QObject*>& components, const QString& name);

// The component's property text. With `headersOnly` the item lines of lists
// and columns are left out (the row of the window itself).
QString captureText(const QObject* component, bool headersOnly = false);
// The component's current lines of the properties that `text` names (list
// headers with their items): what applying `text` would replace.
QString captureTextFor(const QObject* component, const QString& text);
// One text of a component that a translation can replace: a text property
// ("text", "windowTitle", ...) or an entry of its list ("Items.2",
// "Columns.0", "Lines.1"). What the operator types (the text of line edits,
// spin boxes and memos) and what is never applied are left out.
struct TextEntry {
    QString property;
    QString text;
};
// A component whose text or items the window writes while it runs (values,
// or message lines with values in them): they are not a translation's to set.
void markRuntimeText(QObject* component);
QList<TextEntry> translatableTexts(const QObject* component, bool headersOnly = false);
// Applies a property text line by line; lines that do not fit the component
// are skipped without touching the rest.
void applyText(QObject* component, const QString& text);

// Splits a stored text into lines (CR LF, LF or CR); a final line break does
// not start another line.
QStringList splitLines(const QString& text);

QString encodeValue(const QString& value);
QString decodeValue(const QString& value);

}  // namespace qv::language
