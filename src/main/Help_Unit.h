#pragma once

#include "window/Form.h"

class QPushButton;
class QTextBrowser;

// The program's own help window: shows a help document (Operating.htm,
// Manual.htm) when the desktop has no program to open it with. It is not
// modal, so the clerk can read it beside the room board.
class THelp_Form : public qv::Form {
    Q_OBJECT
public:
    THelp_Form(const QString& path, QWidget* parent);

    QTextBrowser* Help_Browser;
    QPushButton* Close_Bt;

    // The document shown.
    QString path() const { return path_; }

    // Shows `path` in a help window of `parent`: the one that shows it
    // already, raised, or a new one that frees itself when closed.
    static THelp_Form* showDocument(const QString& path, QWidget* parent);

private:
    QString path_;
};
