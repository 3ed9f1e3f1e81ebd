#include "UpdateSignature.h"

#include <QFileDevice>

#include <openssl/evp.h>

#include <memory>
#include <optional>

namespace {

constexpr qsizetype keySize = 32;
constexpr qsizetype signatureSize = 64;

std::optional<QByteArray> decoded(const QByteArray &base64, qsizetype size)
{
    const auto result = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!result || result.decoded.size() != size)
        return std::nullopt;
    return result.decoded;
}

} // namespace

namespace UpdateSignature {

bool verify(QFileDevice &file, const QByteArray &signature, const QByteArray &publicKey)
{
    const std::optional<QByteArray> rawKey = decoded(publicKey, keySize);
    const std::optional<QByteArray> rawSignature = decoded(signature, signatureSize);
    if (!rawKey || !rawSignature || !file.isReadable())
        return false;

    // Ed25519 signs the message whole: the file is mapped rather than read into memory.
    static const uchar nothing = 0;
    const qint64 size = file.size();
    const uchar *data = size > 0 ? file.map(0, size) : &nothing;
    if (!data)
        return false;

    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char *>(rawKey->constData()), keySize),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(rawSignature->constData()),
                            signatureSize, data, size_t(size))
        == 1;
}

} // namespace UpdateSignature
