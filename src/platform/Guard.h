#pragma once

#include <functional>
#include <utility>

namespace qv {

// Runs one event handler. An exception ends the handler: qv::Abort silently,
// any other error with its text in the default error box. Nothing crosses the
// Qt event loop. Returns false when the handler did not run to its end.
bool guarded(const std::function<void()>& handler) noexcept;

// A slot for QObject::connect that runs `method` of `receiver` through the
// guard: connect(ok, &QPushButton::clicked, this, qv::slot(this, &T::Ok_BtClick)).
template <class R, class... A>
auto slot(R* receiver, void (R::*method)(A...)) {
    return [receiver, method](A... args) {
        guarded([&] { (receiver->*method)(std::forward<A>(args)...); });
    };
}

}  // namespace qv
