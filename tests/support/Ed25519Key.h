#pragma once
// A throw-away Ed25519 key pair made at run time, that signs update files as their publisher
// would: for the tests and the demo, never for a release.

#include <QByteArray>

class Ed25519Key
{
public:
    // A new pair from OpenSSL's generator.
    Ed25519Key();

    // Base64 of the raw 32-byte public key, as the build configuration takes it.
    [[nodiscard]] QByteArray publicKey() const { return m_public.toBase64(); }
    // Base64 of the 64-byte signature of data, as an update feed carries it.
    [[nodiscard]] QByteArray sign(const QByteArray &data) const;

private:
    QByteArray m_private;
    QByteArray m_public;
};
