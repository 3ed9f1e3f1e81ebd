#pragma once
// The check that a downloaded update is the one its publisher signed: an Ed25519 signature of the
// whole file against the public key the build was configured with (OpenSSL's libcrypto).

#include <QByteArray>

class QFileDevice;

namespace UpdateSignature {

// True when signature (base64 of 64 bytes) is the Ed25519 signature of the bytes of the open file
// by publicKey (base64 of the raw 32-byte key). False for anything malformed or unreadable.
[[nodiscard]] bool verify(QFileDevice &file, const QByteArray &signature, const QByteArray &publicKey);

} // namespace UpdateSignature
