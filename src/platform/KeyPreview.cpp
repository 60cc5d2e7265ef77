#include "platform/KeyPreview.h"

#include "platform/Guard.h"

#include <QApplication>

namespace qv {

KeyPreview::KeyPreview(QWidget* window, Handler handler)
    : QObject(window), window_(window), handler_(std::move(handler)) {
    qApp->installEventFilter(this);
}

KeyPreview* KeyPreview::install(QWidget* window, Handler handler) {
    return new KeyPreview(window, std::move(handler));  // owned by the window
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !window_ || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != window_) {
        return false;
    }
    // A key press travels from the focused control up to its parents; the
    // window sees it once, at the first receiver.
    QWidget* first = QApplication::focusWidget();
    if (!first || first->window() != window_) {
        first = window_;
    }
    if (widget != first) {
        return false;
    }
    bool consumed = false;
    guarded([&] { consumed = handler_(static_cast<QKeyEvent*>(event)); });
    return consumed;
}

}  // namespace qv
