// The message library: texts of the encoder's result codes in the language
// this build was made for (QV_LOCKMSG_LANGUAGE: 2052 Chinese, 1033 English).
#include "ShortString.h"
#include "card/LockMsgApi.h"

#include <cstdio>
#include <string>

#if !defined(QV_LOCKMSG_LANGUAGE)
#error "QV_LOCKMSG_LANGUAGE must name the language (2052 or 1033)"
#endif

namespace {

struct Text {
    int code;
    const char* brief;
    const char* full;
};

#if QV_LOCKMSG_LANGUAGE == 2052
constexpr const char* kCaption = "发卡机提示 [%s]";
constexpr const char* kUnit = "发卡机";
constexpr Text kTexts[] = {
    {1, "操作成功！", "操作成功！"},
    {-1, "无卡！", "无卡！请把卡放到发卡机上再试。"},
    {-2, "无发卡机！", "无发卡机！请检查发卡机的连接线和电源。"},
    {-14, "非本系统的发卡机！", "非本系统的发卡机！这台发卡机属于另一套酒店门锁系统。"},
    {-15, "操作失败！", "操作失败！请重新放卡后再试。"},
};
constexpr const char* kOtherBrief = "操作失败！";
constexpr const char* kOtherFull = "操作失败！发卡机返回了未知的代码 %d。";
#elif QV_LOCKMSG_LANGUAGE == 1033
constexpr const char* kCaption = "Card encoder [%s]";
constexpr const char* kUnit = "Card encoder";
constexpr Text kTexts[] = {
    {1, "Operation succeeded!", "Operation succeeded!"},
    {-1, "No card!", "No card! Place the card on the encoder and try again."},
    {-2, "No card encoder!", "No card encoder! Check the encoder's cable and power."},
    {-14, "Foreign card encoder!", "This card encoder belongs to another hotel's lock system."},
    {-15, "Operation failed!", "Operation failed! Place the card again and retry."},
};
constexpr const char* kOtherBrief = "Operation failed!";
constexpr const char* kOtherFull = "Operation failed! The encoder answered the unknown code %d.";
#else
#error "unknown QV_LOCKMSG_LANGUAGE"
#endif

}  // namespace

extern "C" QV_LOCKMSG_EXPORT void GetUnitStr(unsigned char* buffer, int32_t index) {
    if (!buffer) {
        return;
    }
    switch (index) {
        case 0:
            lockmsg::writeShortString(buffer, kCaption);
            break;
        case 1:
            lockmsg::writeShortString(buffer, kUnit);
            break;
        default:
            lockmsg::writeShortString(buffer, "");
            break;
    }
}

extern "C" QV_LOCKMSG_EXPORT void GetMsgStr(unsigned char* buffer, int16_t code, int32_t flag) {
    if (!buffer) {
        return;
    }
    for (const Text& t : kTexts) {
        if (t.code == code) {
            lockmsg::writeShortString(buffer, flag ? t.full : t.brief);
            return;
        }
    }
    if (!flag) {
        lockmsg::writeShortString(buffer, kOtherBrief);
        return;
    }
    char text[QV_SHORT_STRING_BYTES * 2];
    std::snprintf(text, sizeof text, kOtherFull, static_cast<int>(code));
    lockmsg::writeShortString(buffer, text);
}
