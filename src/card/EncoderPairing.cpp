#include "card/EncoderPairing.h"

#include "card/LockMsg.h"
#include "platform/AppPaths.h"
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/ProgramText.h"
#include "settings/Settings.h"

#include <algorithm>

namespace qv {

namespace {
QString noEncoderText() {
    return qv::programText(QStringLiteral("没有检测到发卡机，系统为演示版!"));
}
QString foreignEncoderText() {
    return qv::programText(QStringLiteral("非本系统的发卡机！"));
}
}  // namespace

bool parseSystemCode(const QString& text, SystemCode& code) {
    if (text.size() != 2 * QV_SYSTEM_CODE_WORDS) {
        return false;
    }
    const auto hexDigit = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    if (!std::all_of(text.begin(), text.end(), hexDigit)) {
        return false;
    }
    for (int i = 0; i < QV_SYSTEM_CODE_WORDS; ++i) {
        code[i] = static_cast<uint16_t>(text.mid(2 * i, 2).toUInt(nullptr, 16));
    }
    return true;
}

QString formatSystemCode(const SystemCode& code) {
    QString text;
    for (const uint16_t value : code) {
        text += QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

int pairEncoder(Encoder& encoder) {
    ParameterBlock block;
    encoder.getParameter(block);
    const int kind = static_cast<int16_t>(block[0]);
    if (kind == DataCollectorKind) {
        return kind;
    }

    if (!LockSystemInfo.Pass.isEmpty()) {
        // A later start: the encoder must answer to the hotel's code.
        SystemCode code{};
        if (!parseSystemCode(LockSystemInfo.Pass.trimmed(), code)) {
            messageBox(qv::noticeTitle(),
                       qv::programText(
                           QStringLiteral(
                               "配置文件 Mirefold.ini 中 [SystemInfo] Pass 保存的系统编号“%1”无效"
                               "（应为 8 位十六进制数字），发卡机未能初始化。\n"
                               "请改正或删除这个值后重新启动程序。"))
                           .arg(LockSystemInfo.Pass),
                       Icon::Error);
            return kind;
        }
        const int16_t result = encoder.systemInitialization(code);
        if (result == QV_ENC_FOREIGN_SYSTEM) {
            showMessage(foreignEncoderText());
            requestTerminate();
        }
        if (result != QV_ENC_OK) {
            ShowLockMsg(result);
        }
        return kind;
    }

    // The first start: the encoder's code becomes the hotel's.
    SystemCode code{};
    const int16_t result = encoder.readSystemPas(code);
    if (result != QV_ENC_OK) {
        ShowLockMsg(result);
        return kind;
    }
    const QString text = formatSystemCode(code);
    showMessage(text);
    LockSystemInfo.Pass = text;
    IniFile(AppPaths::iniFile()).writeString(settings::SystemInfo, QStringLiteral("Pass"), text);
    return kind;
}

std::optional<int> startEncoder(Encoder& encoder) {
    const int commProt =
        IniFile(AppPaths::iniFile()).readInteger(settings::Config, QStringLiteral("CommProt"), 0);
    const int16_t opened = encoder.openPort(commProt + 1);
    if (opened != QV_ENC_OK) {
        messageBox(QString::number(opened), noEncoderText(), Icon::Information);
        return std::nullopt;
    }
    return pairEncoder(encoder);
}

}  // namespace qv
