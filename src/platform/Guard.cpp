#include "platform/Guard.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <QString>
#include <exception>

namespace qv {

bool guarded(const std::function<void()>& handler) noexcept {
    try {
        try {
            handler();
            return true;
        } catch (const Abort&) {
            return false;
        } catch (const Error& e) {
            showError(e.text());
        } catch (const std::exception& e) {
            showError(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            showError(qv::programText(QStringLiteral("未知错误。")));
        }
    } catch (...) {
        // The error box itself failed; there is nothing left to show it with.
    }
    return false;
}

}  // namespace qv
