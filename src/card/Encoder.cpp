#include "card/Encoder.h"

#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/ProgramText.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

namespace qv {

Encoder& Encoder::instance() {
    static Encoder encoder;
    return encoder;
}

QString Encoder::defaultPath() {
    return AppPaths::file(QStringLiteral("libQuorvane.so"));
}

bool Encoder::load(const QString& path) {
    library_.unload();
    api_ = Api{};
    attempted_ = true;
    loaded_ = false;
    error_.clear();

    if (!library_.load(path)) {
        fail(qv::programText(QStringLiteral("无法加载发卡机程序库 %1：\n%2"))
                 .arg(path, library_.errorString()));
        return false;
    }

    QStringList missing;
    auto bind = [&](auto& slot, const char* name) {
        slot = library_.function<std::remove_reference_t<decltype(slot)>>(name);
        if (!slot) {
            missing << QString::fromLatin1(name);
        }
    };
    bind(api_.MakeCardOpenPort, "MakeCardOpenPort");
    bind(api_.GetParameter, "GetParameter");
    bind(api_.ReadSystemPas, "ReadSystemPas");
    bind(api_.SystemInitialization, "SystemInitialization");
    for (std::size_t i = 0; i < std::size(IssuedCardTypes); ++i) {
        bind(api_.make[i], IssuedCardTypes[i].makeFunction);
    }
    bind(api_.ReadCard, "ReadCard");
    bind(api_.ClearCardData, "ClearCardData");
    bind(api_.ReadDataCard, "ReadDataCard");
    bind(api_.ReadOneOpenDoorRecord, "ReadOneOpenDoorRecord");

    if (!missing.isEmpty()) {
        library_.unload();
        api_ = Api{};
        fail(qv::programText(QStringLiteral("发卡机程序库 %1 缺少函数：%2"))
                 .arg(path, missing.join(QStringLiteral(", "))));
        return false;
    }
    loaded_ = true;
    return true;
}

void Encoder::fail(const QString& why) {
    error_ = why;
    if (reported_) {
        return;
    }
    reported_ = true;
    messageBox(qv::noticeTitle(),
               why + qv::programText(QStringLiteral(
                         "\n\n程序以演示方式运行：所有发卡操作都将返回“无发卡机！”。")),
               Icon::Warning, Buttons::Ok);
}

bool Encoder::ensureLoaded() {
    if (!attempted_) {
        load(defaultPath());
    }
    return loaded_;
}

void Encoder::reset() {
    library_.unload();
    api_ = Api{};
    attempted_ = loaded_ = reported_ = false;
    error_.clear();
}

bool Encoder::ready() {
    return ensureLoaded();
}

int16_t Encoder::openPort(int32_t port) {
    return ready() ? api_.MakeCardOpenPort(port) : int16_t{QV_ENC_NO_ENCODER};
}

int16_t Encoder::getParameter(ParameterBlock& buffer) {
    std::fill(std::begin(buffer), std::end(buffer), uint16_t{0});
    if (!ready()) {
        buffer[0] = static_cast<uint16_t>(-1);  // off line
        return QV_ENC_NO_ENCODER;
    }
    return api_.GetParameter(buffer);
}

int16_t Encoder::readSystemPas(SystemCode& code) {
    std::fill(std::begin(code), std::end(code), uint16_t{0});
    return ready() ? api_.ReadSystemPas(code) : int16_t{QV_ENC_NO_ENCODER};
}

int16_t Encoder::systemInitialization(const SystemCode& code) {
    if (!ready()) {
        return QV_ENC_NO_ENCODER;
    }
    SystemCode copy;
    std::copy(std::begin(code), std::end(code), std::begin(copy));
    return api_.SystemInitialization(copy);
}

int16_t Encoder::makeCard(int cardType, TCardData& card) {
    if (!ready()) {
        return QV_ENC_NO_ENCODER;
    }
    const TCardTypeInfo* info = FindIssuedCardType(cardType);
    if (!info) {
        return QV_ENC_FAILED;
    }
    const QvMakeCardFn make = api_.make[info - std::begin(IssuedCardTypes)];
    return make(card.CardSn, card.Reserved2, card.Building, card.Floor, card.District,
                card.RoomAddr, card.Override, card.CardType, card.Reserved3, card.StartTime,
                card.EndTime);
}

int16_t Encoder::readCard(TCardData& card) {
    if (!ready()) {
        return QV_ENC_NO_ENCODER;
    }
    return api_.ReadCard(card.CardSn, card.Reserved2, &card.Building, card.Floor, card.District,
                         card.RoomAddr, &card.Override, card.CardType, card.Reserved3,
                         card.StartTime, card.EndTime);
}

int16_t Encoder::clearCard() {
    if (!ready()) {
        return QV_ENC_NO_ENCODER;
    }
    uint16_t work[QV_CLEAR_WORK_WORDS] = {};
    return api_.ClearCardData(work);
}

int16_t Encoder::readDataCard(DataCardBuffer& buffer) {
    buffer = DataCardBuffer{};
    return ready() ? api_.ReadDataCard(buffer.Words) : int16_t{QV_ENC_NO_ENCODER};
}

int16_t Encoder::readOneOpenDoorRecord(OpenDoorRecord& record, DataCardBuffer& buffer) {
    record = OpenDoorRecord{};
    if (!ready()) {
        return QV_ENC_NO_ENCODER;
    }
    const int16_t result =
        api_.ReadOneOpenDoorRecord(&record.Building, &record.Floor, &record.Word1, &record.Word2,
                                   record.RoomAddr, &record.CardType, record.Time, buffer.Words);
    std::copy(buffer.Words, buffer.Words + 4, record.CardSn);
    return result;
}

}  // namespace qv
