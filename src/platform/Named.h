#pragma once

#include <QString>
#include <utility>

namespace qv {

// Every component of a window carries its component name as its object name
// (the language store and the tests find it by that name).

// Names `widget` and returns it: named(new QLineEdit(box), "se_Room1").
template <class W>
W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// Creates a named component: make<QLabel>("Room_Label", text, parent).
template <class W, class... Args>
W* make(const QString& name, Args&&... args) {
    return named(new W(std::forward<Args>(args)...), name);
}

}  // namespace qv
