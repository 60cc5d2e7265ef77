#include "card/LockMsg.h"

#include "card/CardFunctions.h"
#include "card/LockMsgApi.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/SharedLibrary.h"
#include "settings/Settings.h"

#include <cstdint>

namespace {

QString fromShortString(const unsigned char (&buffer)[QV_SHORT_STRING_BYTES]) {
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer + 1), buffer[0]);
}

QString unitText(qv::SharedLibrary& library, int index) {
    const auto getUnitStr = library.function<QvGetUnitStrFn>("GetUnitStr");
    if (!getUnitStr) {
        return {};
    }
    unsigned char buffer[QV_SHORT_STRING_BYTES] = {};
    getUnitStr(buffer, index);
    return fromShortString(buffer);
}

}  // namespace

QString LockMsgLibraryPath(int languageId) {
    return qv::AppPaths::file(QStringLiteral("Dll/%1/libLockMsg.so").arg(languageId));
}

QString LockUnitText(int index) {
    qv::SharedLibrary library;
    if (!library.load(LockMsgLibraryPath(LockSystemInfo.LanguageID))) {
        return {};
    }
    return unitText(library, index);
}

void ShowLockMsg(int code) {
    QString pattern;
    QString text;
    {
        qv::SharedLibrary library;
        if (library.load(LockMsgLibraryPath(LockSystemInfo.LanguageID))) {
            if (const auto getMsgStr = library.function<QvGetMsgStrFn>("GetMsgStr")) {
                unsigned char buffer[QV_SHORT_STRING_BYTES] = {};
                getMsgStr(buffer, static_cast<int16_t>(code), 1);
                text = fromShortString(buffer);
            }
            pattern = unitText(library, 0);
        }
    }  // unloaded before the box is shown
    if (!pattern.contains(QLatin1String("%s"))) {
        pattern = QStringLiteral("发卡机提示 [%s]");
    }
    if (text.isEmpty()) {
        text = QStringLiteral("%1（发卡机返回代码 %2）").arg(ResultText(code)).arg(code);
    }
    const qsizetype at = pattern.indexOf(QLatin1String("%s"));
    const QString caption = pattern.left(at) + QString::number(code) + pattern.mid(at + 2);
    qv::messageBox(caption, text, qv::Icon::Information, qv::Buttons::Ok);
}
