#include "platform/QtDialogs.h"
#include "platform/ProgramText.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

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
    const QString chosen = QFileDialog::getOpenFileName(activeParent(), title, path, filter);
    if (chosen.isEmpty()) {
        return false;
    }
    path = chosen;
    return true;
}

bool QtDialogs::saveFile(const QString& title, const QString& filter, QString& path) {
    const QString chosen = QFileDialog::getSaveFileName(activeParent(), title, path, filter);
    if (chosen.isEmpty()) {
        return false;
    }
    path = chosen;
    return true;
}

}  // namespace qv
