#pragma once

#include "settings/Settings.h"
#include "window/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

// Connection settings ("配置数据库链接"): the lock database the desk works
// on — the embedded database file, or the hotel's shared PostgreSQL server
// (database halvorn). "测试" and "保存" try the choice on a connection of
// their own; only when it opens as a lock database does the program switch
// to it ("保存" also stores it for the next start). A choice that fails leaves
// the program on the database it was working on.
//
// Shown modally: `TCdForm f(parent); f.exec();`
class TCdForm : public qv::Form {
    Q_OBJECT
public:
    explicit TCdForm(QWidget* parent = nullptr);
    ~TCdForm() override;

    enum Page { EmbeddedPage = 0, ServerPage = 1 };

    QGroupBox* GroupBox1;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;  // the embedded database file
    QLabel* DbPath_Label;
    QPlainTextEdit* Memo_DbPath;
    QPushButton* Button1;  // "浏览..."
    QWidget* TabSheet2;    // the database server
    QLabel* Server_Label;
    QLineEdit* Server_Edit;
    QLabel* Port_Label;
    QSpinBox* Port_SE;
    QLabel* User_Label;
    QLineEdit* User_Edit;
    QLabel* Pass_Label;
    QLineEdit* Pass_Edit;
    QPushButton* But_Test;
    QPushButton* But_Save;
    QPushButton* Button4;  // "关闭"

    void FormShow();
    void Button1Click();
    // Tries the chosen database and, when it is a lock database, switches the
    // program to it. False (the program stays where it was) otherwise.
    bool Connect();
    void But_TestClick();
    void But_SaveClick();

protected:
    void FormCreate() override;

private:
    // The database the window's controls name.
    LockDatabaseChoice Choice() const;
    // The message with the reason of the last failed try on a second line.
    QString withReason(const QString& text) const;
    QString lastError_;
};
