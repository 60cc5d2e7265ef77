// The yardstick of bench_startup: a bare Qt dialog with two line edits,
// built with the same flags as the program, that reports its first paint
// and closes (QV_FIRST_PAINT_EXIT set by the benchmark).
#include "platform/FirstPaint.h"

#include <QApplication>
#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("User:"), new QLineEdit(&dialog));
    auto* password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("Password:"), password);
    qv::exitAfterFirstPaint(&dialog);
    return dialog.exec() == QDialog::Accepted ? 0 : 0;
}
