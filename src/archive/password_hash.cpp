#include "archive/password_hash.h"

#include <sodium.h>

namespace {

bool SodiumReady(QString* error) {
    // sodium_init is safe to call again and from several threads; below 0 the library cannot
    // work (no source of random numbers).
    if (sodium_init() >= 0)
        return true;
    if (error)
        *error = QStringLiteral("the password library cannot start (no source of random "
                                "numbers)");
    return false;
}

} // namespace

bool HashPassword(const QByteArray& password, QString* hash, QString* error) {
    if (!SodiumReady(error))
        return false;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.constData(), quint64(password.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        *error = QStringLiteral("the password cannot be hashed (out of memory)");
        return false;
    }
    *hash = QString::fromLatin1(out);
    return true;
}

bool PasswordMatches(const QString& hash, const QByteArray& password) {
    if (!SodiumReady(nullptr))
        return false;
    const QByteArray text = hash.toLatin1();
    if (text.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(text.constData(), password.constData(),
                                    quint64(password.size())) == 0;
}
