#include "Ed25519Key.h"

#include <openssl/evp.h>

#include <memory>

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

QByteArray raw(EVP_PKEY *key, int (*get)(const EVP_PKEY *, unsigned char *, size_t *))
{
    QByteArray bytes(32, '\0');
    size_t size = size_t(bytes.size());
    if (get(key, reinterpret_cast<unsigned char *>(bytes.data()), &size) != 1)
        qFatal("Ed25519 key without raw bytes");
    bytes.resize(qsizetype(size));
    return bytes;
}

} // namespace

Ed25519Key::Ed25519Key()
{
    const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free);
    if (!key)
        qFatal("OpenSSL made no Ed25519 key");
    m_private = raw(key.get(), &EVP_PKEY_get_raw_private_key);
    m_public = raw(key.get(), &EVP_PKEY_get_raw_public_key);
}

QByteArray Ed25519Key::sign(const QByteArray &data) const
{
    const Key key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr,
                                               reinterpret_cast<const unsigned char *>(m_private.constData()),
                                               size_t(m_private.size())),
                  &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    QByteArray signature(64, '\0');
    size_t size = size_t(signature.size());
    if (!key || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                          reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()))
            != 1)
        qFatal("OpenSSL did not sign");
    return signature.toBase64();
}
