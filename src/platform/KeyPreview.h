#pragma once

#include <QKeyEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace qv {

// A window that "previews keys": `handler` sees every key press meant for the
// window or any of its controls before the control does, and returns true to
// consume it. The handler runs through the handler guard. The preview lives as
// long as the window.
class KeyPreview final : public QObject {
public:
    using Handler = std::function<bool(QKeyEvent*)>;
    static KeyPreview* install(QWidget* window, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyPreview(QWidget* window, Handler handler);
    QPointer<QWidget> window_;
    Handler handler_;
};

}  // namespace qv
