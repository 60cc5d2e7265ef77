#include "data/Passwords.h"

#include "platform/Errors.h"
#include "platform/ProgramText.h"

#include <sodium.h>

namespace qv {

namespace {
void initSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) {
        throw Error(qv::programText(QStringLiteral("密码库无法初始化。")));
    }
}
}  // namespace

QString hashPassword(const QString& password) {
    initSodium();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw Error(qv::programText(QStringLiteral("内存不足，无法保存密码。")));
    }
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored) {
    return stored.startsWith(QLatin1String("$argon2id$"));
}

bool verifyPassword(const QString& password, const QString& stored) {
    if (!isPasswordHash(stored)) {
        return password == stored;
    }
    initSodium();
    const QByteArray hash = stored.toLatin1();
    const QByteArray bytes = password.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), bytes.constData(),
                                    static_cast<unsigned long long>(bytes.size())) == 0;
}

}  // namespace qv
