// The yardstick of bench_startup: a bare Qt dialog with two line edits,
// built with the same flags as the program, that reports its first paint
// and closes (QV_FIRST_PAINT_EXIT set by the benchmark). With --chinese its
// labels are Chinese, like the logon window's: that start loads a CJK face
// too, which a Latin-only dialog never does.
#include "platform/FirstPaint.h"

#include <QApplication>
#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool chinese = app.arguments().contains(QStringLiteral("--chinese"));
    QDialog dialog;
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(chinese ? QStringLiteral("操作员：") : QStringLiteral("User:"),
                   new QLineEdit(&dialog));
    auto* password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(chinese ? QStringLiteral("密  码：") : QStringLiteral("Password:"), password);
    qv::exitAfterFirstPaint(&dialog);
    return dialog.exec() == QDialog::Accepted ? 0 : 0;
}
