#pragma once

#include "platform/Dialogs.h"

class QWidget;

namespace qv {

// The width a box needs so that the window manager shows its whole `title`.
int titleWidth(const QWidget& box, const QString& title);

// Real boxes: QMessageBox, QInputDialog and QFileDialog, parented to the
// window that is active (so they are modal to it and centred on it).
class QtDialogs final : public Dialogs {
public:
    // A message of more lines shows its first lines and the whole text in
    // its details.
    static constexpr int kMaxMessageLines = 25;

    Answer message(const QString& title, const QString& text, Icon icon, Buttons buttons) override;
    bool input(const QString& title, const QString& prompt, QString& value, bool password) override;
    bool openFile(const QString& title, const QString& filter, QString& path) override;
    bool saveFile(const QString& title, const QString& filter, QString& path) override;
};

}  // namespace qv
