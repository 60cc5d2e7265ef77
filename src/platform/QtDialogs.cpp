#include "platform/QtDialogs.h"
#include "platform/ProgramText.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

namespace qv {
namespace {

QWidget* activeParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Error:
        case Icon::Stop:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Icons and type names from a file's name alone. Qt's own providers learn a
// file's type from its contents when its name does not tell it: they open
// and close the file, and closing any descriptor of a file drops every
// POSIX lock the process holds on it. A file dialog on the database folder
// would so take away the locks of the live lock database and its -wal and
// -shm files, and another desk could then delete the live WAL file.
class NameOnlyIcons final : public QAbstractFileIconProvider {
public:
    // The icons are made once, in the window's thread: the dialog asks for
    // them from its file information thread.
    NameOnlyIcons()
        : folder_(style(QStyle::SP_DirIcon)),
          file_(style(QStyle::SP_FileIcon)),
          drive_(style(QStyle::SP_DriveHDIcon)),
          computer_(style(QStyle::SP_ComputerIcon)),
          network_(style(QStyle::SP_DriveNetIcon)),
          trash_(style(QStyle::SP_TrashIcon)),
          folderType_(QCoreApplication::translate("QAbstractFileIconProvider", "Folder")),
          fileType_(QCoreApplication::translate("QAbstractFileIconProvider", "File")),
          suffixType_(QCoreApplication::translate("QAbstractFileIconProvider", "%1 File")) {}

    QIcon icon(IconType type) const override {
        switch (type) {
            case Folder:
                return folder_;
            case Drive:
                return drive_;
            case Computer:
            case Desktop:
                return computer_;
            case Network:
                return network_;
            case Trashcan:
                return trash_;
            case File:
                break;
        }
        return file_;
    }
    QIcon icon(const QFileInfo& info) const override { return info.isDir() ? folder_ : file_; }
    // Qt's own words for the types, in Qt's translations.
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) {
            return folderType_;
        }
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? fileType_ : suffixType_.arg(suffix);
    }

private:
    static QIcon style(QStyle::StandardPixmap which) {
        return QApplication::style()->standardIcon(which);
    }
    const QIcon folder_, file_, drive_, computer_, network_, trash_;
    const QString folderType_, fileType_, suffixType_;
};

// Qt's file dialog widget with the name-only icons. Never the desktop's
// native dialog: that one (GTK, the desktop portal) reads files' contents
// for their types and previews in ways the program cannot turn off.
bool runFileDialog(const QString& title, const QString& filter, QString& path,
                   QFileDialog::AcceptMode mode) {
    NameOnlyIcons icons;  // outlives the dialog and its threads
    QFileDialog dialog(activeParent(), title, QString(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    const QFileInfo start(path);
    if (!path.isEmpty() && start.isDir()) {
        dialog.setDirectory(start.absoluteFilePath());
    } else if (!path.isEmpty()) {
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    path = dialog.selectedFiles().constFirst();
    return !path.isEmpty();
}

}  // namespace

int titleWidth(const QWidget& box, const QString& title) {
    // The window manager draws the title in a font of its own, often larger
    // or bold, beside the window's icon and buttons: a quarter more than the
    // text, and room for those.
    constexpr int kTitleBarExtras = 140;
    const QFontMetrics metrics(box.font());
    return metrics.horizontalAdvance(title) * 5 / 4 + kTitleBarExtras;
}

Answer QtDialogs::message(const QString& title, const QString& text, Icon icon, Buttons buttons) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, activeParent());
    // A long list stays on the screen: its first lines in the box, all of it
    // in the details, which scroll.
    const QStringList lines = text.split('\n');
    if (lines.size() > kMaxMessageLines) {
        box.setText(lines.mid(0, kMaxMessageLines).join('\n') + QStringLiteral("\n……"));
        box.setDetailedText(text);
    }
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    switch (buttons) {
        case Buttons::Ok:
            ok = box.addButton(qv::programText(QStringLiteral("确定")), QMessageBox::AcceptRole);
            break;
        case Buttons::OkCancel:
            ok = box.addButton(qv::programText(QStringLiteral("确定")), QMessageBox::AcceptRole);
            cancel =
                box.addButton(qv::programText(QStringLiteral("取消")), QMessageBox::RejectRole);
            break;
        case Buttons::YesNoCancel:
            cancel =
                box.addButton(qv::programText(QStringLiteral("取消")), QMessageBox::RejectRole);
            [[fallthrough]];
        case Buttons::YesNo:
            yes = box.addButton(qv::programText(QStringLiteral("是")), QMessageBox::YesRole);
            no = box.addButton(qv::programText(QStringLiteral("否")), QMessageBox::NoRole);
            break;
    }
    // A box as narrow as a short text would cut its title ("Q… 0"): its
    // layout gets a spacer as wide as the whole title needs.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(titleWidth(box, title), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.setDefaultButton(ok ? ok : yes);
    if (cancel) {
        box.setEscapeButton(cancel);
    } else if (no) {
        box.setEscapeButton(no);
    } else {
        box.setEscapeButton(ok);
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked && clicked == ok)
        return Answer::Ok;
    if (clicked && clicked == yes)
        return Answer::Yes;
    if (clicked && clicked == no)
        return Answer::No;
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

bool QtDialogs::input(const QString& title, const QString& prompt, QString& value, bool password) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(activeParent(), title, prompt,
                              password ? QLineEdit::Password : QLineEdit::Normal, value, &ok);
    if (ok) {
        value = text;
    }
    return ok;
}

bool QtDialogs::openFile(const QString& title, const QString& filter, QString& path) {
    return runFileDialog(title, filter, path, QFileDialog::AcceptOpen);
}

bool QtDialogs::saveFile(const QString& title, const QString& filter, QString& path) {
    return runFileDialog(title, filter, path, QFileDialog::AcceptSave);
}

}  // namespace qv
