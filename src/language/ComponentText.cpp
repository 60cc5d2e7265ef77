#include "language/ComponentText.h"

#include "platform/RadioGroup.h"

#include <QAbstractItemModel>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <optional>

namespace qv::language {
namespace {

// The list-like texts of a component: a string list (item texts, all or
// nothing) or a collection (column titles, item by item).
struct ListProperty {
    enum class Kind { Strings, Collection };
    Kind kind;
    QString name;
    QString className;
    std::function<QStringList()> get;
    std::function<void(const QStringList&)> set;
};

const QString kItems = QStringLiteral("Items");
const QString kLines = QStringLiteral("Lines");
const QString kColumns = QStringLiteral("Columns");
const QString kStrings = QStringLiteral("TStrings");
const QString kGridColumns = QStringLiteral("TDBGridColumns");
const QString kListColumns = QStringLiteral("TListColumns");

QStringList modelHeaders(const QAbstractItemModel* model) {
    QStringList out;
    if (model) {
        for (int c = 0; c < model->columnCount(); ++c) {
            out << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        }
    }
    return out;
}

void setModelHeaders(QAbstractItemModel* model, const QStringList& titles) {
    if (!model) {
        return;
    }
    const int n = qMin(static_cast<int>(titles.size()), model->columnCount());
    for (int c = 0; c < n; ++c) {
        // A model that keeps no header texts refuses and keeps its own.
        model->setHeaderData(c, Qt::Horizontal, titles[c], Qt::DisplayRole);
    }
}

std::optional<ListProperty> listProperty(QObject* o) {
    using K = ListProperty::Kind;
    if (auto* combo = qobject_cast<QComboBox*>(o)) {
        return ListProperty{K::Strings, kItems, kStrings,
                            [combo] {
                                QStringList out;
                                for (int i = 0; i < combo->count(); ++i) {
                                    out << combo->itemText(i);
                                }
                                return out;
                            },
                            [combo](const QStringList& items) {
                                // Item by item: the choice and the item data stay.
                                for (int i = 0; i < items.size() && i < combo->count(); ++i) {
                                    combo->setItemText(i, items[i]);
                                }
                            }};
    }
    if (auto* group = qobject_cast<qv::RadioGroup*>(o)) {
        return ListProperty{K::Strings, kItems, kStrings, [group] { return group->items(); },
                            [group](const QStringList& items) { group->setItems(items); }};
    }
    if (auto* list = qobject_cast<QListWidget*>(o)) {
        return ListProperty{K::Strings, kItems, kStrings,
                            [list] {
                                QStringList out;
                                for (int i = 0; i < list->count(); ++i) {
                                    out << list->item(i)->text();
                                }
                                return out;
                            },
                            [list](const QStringList& items) {
                                for (int i = 0; i < items.size() && i < list->count(); ++i) {
                                    list->item(i)->setText(items[i]);
                                }
                            }};
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(o)) {
        return ListProperty{K::Strings, kLines, kStrings,
                            [memo] { return splitLines(memo->toPlainText()); },
                            [memo](const QStringList& lines) {
                                memo->setPlainText(lines.join(QLatin1Char('\n')));
                            }};
    }
    if (auto* table = qobject_cast<QTableWidget*>(o)) {
        return ListProperty{
            K::Collection, kColumns, kListColumns, [table] { return modelHeaders(table->model()); },
            [table](const QStringList& titles) {
                const int n = qMin(static_cast<int>(titles.size()), table->columnCount());
                for (int c = 0; c < n; ++c) {
                    if (QTableWidgetItem* item = table->horizontalHeaderItem(c)) {
                        item->setText(titles[c]);
                    } else {
                        table->setHorizontalHeaderItem(c, new QTableWidgetItem(titles[c]));
                    }
                }
            }};
    }
    if (auto* grid = qobject_cast<QTableView*>(o)) {
        return ListProperty{
            K::Collection, kColumns, kGridColumns, [grid] { return modelHeaders(grid->model()); },
            [grid](const QStringList& titles) { setModelHeaders(grid->model(), titles); }};
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(o)) {
        return ListProperty{K::Collection, kColumns, kListColumns,
                            [tree] {
                                QStringList out;
                                for (int c = 0; c < tree->columnCount(); ++c) {
                                    out << tree->headerItem()->text(c);
                                }
                                return out;
                            },
                            [tree](const QStringList& titles) {
                                const int n =
                                    qMin(static_cast<int>(titles.size()), tree->columnCount());
                                for (int c = 0; c < n; ++c) {
                                    tree->headerItem()->setText(c, titles[c]);
                                }
                            }};
    }
    if (auto* view = qobject_cast<QTreeView*>(o)) {
        return ListProperty{
            K::Collection, kColumns, kListColumns, [view] { return modelHeaders(view->model()); },
            [view](const QStringList& titles) { setModelHeaders(view->model(), titles); }};
    }
    return std::nullopt;
}

// Properties that hold a state or markup, not a caption: captured like every
// text, never applied.
bool appliedProperty(const QString& name) {
    static const QStringList kept{
        QStringLiteral("styleSheet"), QStringLiteral("windowFilePath"),
        QStringLiteral("inputMask"),  QStringLiteral("currentText"),
        QStringLiteral("plainText"),  QStringLiteral("html"),
        QStringLiteral("markdown"),
    };
    return !name.toUpper().contains(QLatin1String("NAME")) && !kept.contains(name);
}

// A password box's text is a secret, not a caption.
bool secretText(const QObject* o, const QString& property) {
    const auto* edit = qobject_cast<const QLineEdit*>(o);
    return edit && edit->echoMode() != QLineEdit::Normal && property == QLatin1String("text");
}

bool isItemLine(const QString& line) {
    qsizetype i = 0;
    while (i < line.size() && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t'))) {
        ++i;
    }
    const qsizetype digits = i;
    while (i < line.size() && line[i].isDigit()) {
        ++i;
    }
    return digits > 0 && i > digits && i < line.size() && line[i] == QLatin1Char(':');
}

QString itemText(const QString& line) {
    return decodeValue(line.mid(line.indexOf(QLatin1Char(':')) + 1));
}

void collect(const QObject* parent, const QObject* exclude, QList<QObject*>& out) {
    for (QObject* child : parent->children()) {
        // Another window (a dialog the window opened) has components of its own.
        if (child == exclude || qobject_cast<QDialog*>(child)) {
            continue;
        }
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
            out << child;
        }
        collect(child, exclude, out);
    }
}

}  // namespace

QList<QObject*> components(const QWidget* window, const QObject* exclude) {
    QList<QObject*> out;
    if (window) {
        collect(window, exclude, out);
    }
    return out;
}

QObject* findComponent(const QList<QObject*>& components, const QString& name) {
    for (QObject* o : components) {
        if (o->objectName() == name) {
            return o;
        }
    }
    return nullptr;
}

QString captureText(const QObject* component, bool headersOnly) {
    QStringList lines;
    const QMetaObject* mo = component->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (p.metaType().id() != QMetaType::QString || !p.isReadable()) {
            continue;
        }
        const QString name = QString::fromLatin1(p.name());
        const QString value =
            secretText(component, name) ? QString() : p.read(component).toString();
        lines << name + QLatin1Char(':') + encodeValue(value);
    }
    if (const auto list = listProperty(const_cast<QObject*>(component))) {
        lines << list->name + QLatin1Char(':') + list->className;
        if (!headersOnly) {
            const QString indent(list->kind == ListProperty::Kind::Strings ? 10 : 3,
                                 QLatin1Char(' '));
            const QStringList items = list->get();
            for (int i = 0; i < items.size(); ++i) {
                lines << indent + QString::number(i) + QLatin1Char(':') + encodeValue(items[i]);
            }
        }
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {
const char* const kRuntimeText = "qvRuntimeText";
}

void markRuntimeText(QObject* component) {
    component->setProperty(kRuntimeText, true);
}

QList<TextEntry> translatableTexts(const QObject* component, bool headersOnly) {
    const bool runtime = component->property(kRuntimeText).toBool();
    const bool typed = qobject_cast<const QLineEdit*>(component) ||
                       qobject_cast<const QAbstractSpinBox*>(component) ||
                       qobject_cast<const QPlainTextEdit*>(component) ||
                       qobject_cast<const QTextEdit*>(component);
    QList<TextEntry> out;
    QString list;
    for (const QString& line : splitLines(captureText(component, headersOnly))) {
        if (isItemLine(line)) {
            if (!list.isEmpty()) {
                const qsizetype colon = line.indexOf(QLatin1Char(':'));
                out.append({list + QLatin1Char('.') + line.left(colon).trimmed(),
                            decodeValue(line.mid(colon + 1))});
            }
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const QString name = line.left(colon);
        const QString value = decodeValue(line.mid(colon + 1));
        list.clear();
        const auto lists = listProperty(const_cast<QObject*>(component));
        if (lists && name == lists->name) {
            if (!typed && !runtime) {
                list = name;
            }
            continue;
        }
        if (value.isEmpty() || !appliedProperty(name) || secretText(component, name) ||
            ((typed || runtime) && name == QLatin1String("text"))) {
            continue;
        }
        // An action's icon text and tip follow its text unless set apart.
        if (const auto* action = qobject_cast<const QAction*>(component);
            action && (name == QLatin1String("iconText") || name == QLatin1String("toolTip"))) {
            QString plain = action->text();
            plain.remove(QLatin1Char('&'));
            if (value == plain || value == action->text()) {
                continue;
            }
        }
        const QMetaProperty p = component->metaObject()->property(
            component->metaObject()->indexOfProperty(name.toLatin1().constData()));
        if (p.isWritable()) {
            out.append({name, value});
        }
    }
    return out;
}

QString captureTextFor(const QObject* component, const QString& text) {
    QStringList names;
    for (const QString& line : splitLines(text)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (!isItemLine(line) && colon > 0) {
            names << line.left(colon);
        }
    }
    QStringList out;
    bool keepItems = false;
    for (const QString& line : splitLines(captureText(component))) {
        if (isItemLine(line)) {
            if (keepItems) {
                out << line;
            }
            continue;
        }
        const QString name = line.left(line.indexOf(QLatin1Char(':')));
        keepItems = names.contains(name);
        if (keepItems) {
            out << line;
        }
    }
    return out.join(QLatin1Char('\n'));
}

void applyText(QObject* component, const QString& text) {
    const QStringList lines = splitLines(text);
    const auto list = listProperty(component);
    const QMetaObject* mo = component->metaObject();
    qsizetype i = 0;
    while (i < lines.size()) {
        const QString& line = lines[i++];
        if (isItemLine(line)) {
            continue;  // an item line without its list
        }
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            continue;
        }
        const QString name = line.left(colon);
        if (list && name == list->name) {
            QStringList stored;
            while (i < lines.size() && isItemLine(lines[i])) {
                stored << itemText(lines[i++]);
            }
            if (list->kind == ListProperty::Kind::Collection) {
                list->set(stored);  // as many titles as there are, up to the columns
            } else if (stored.size() == list->get().size()) {
                list->set(stored);  // a list is replaced only as a whole
            }
            continue;
        }
        if (!appliedProperty(name) || secretText(component, name)) {
            continue;
        }
        const int index = mo->indexOfProperty(name.toLatin1().constData());
        if (index < 0) {
            continue;
        }
        const QMetaProperty p = mo->property(index);
        if (p.metaType().id() != QMetaType::QString || !p.isWritable()) {
            continue;
        }
        p.write(component, decodeValue(line.mid(colon + 1)));
    }
}

QStringList splitLines(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (t.isEmpty()) {
        return {};
    }
    if (t.endsWith(QLatin1Char('\n'))) {
        t.chop(1);
    }
    return t.split(QLatin1Char('\n'));
}

QString encodeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\')) {
            out += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < value.size() &&
                value[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
            out += QLatin1String("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString decodeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[i + 1];
            if (next == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
            if (next == QLatin1Char('n')) {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace qv::language
