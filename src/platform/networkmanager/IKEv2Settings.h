#pragma once
// The IKEv2 protocol of the VPN profile: server and identities, the user name, the password as a
// reference to its credential item, the proposals for both security associations, the routing switches.

#include <QByteArray>
#include <QString>

struct IKEv2Settings
{
    enum class AuthenticationMethod { None = 0, Certificate = 1, SharedSecret = 2 };

    struct SecurityAssociationParameters
    {
        enum class EncryptionAlgorithm {
            AES128 = 3,
            AES256 = 4,
            AES128GCM = 5,
            AES256GCM = 6,
            ChaCha20Poly1305 = 7
        };
        enum class IntegrityAlgorithm { SHA256 = 3, SHA384 = 4, SHA512 = 5 };
        enum class DiffieHellmanGroup {
            Group14 = 14,
            Group15 = 15,
            Group16 = 16,
            Group17 = 17,
            Group18 = 18,
            Group19 = 19,
            Group20 = 20,
            Group21 = 21,
            Group31 = 31,
            Group32 = 32
        };

        EncryptionAlgorithm encryptionAlgorithm = EncryptionAlgorithm::AES256;
        IntegrityAlgorithm integrityAlgorithm = IntegrityAlgorithm::SHA256;
        DiffieHellmanGroup diffieHellmanGroup = DiffieHellmanGroup::Group14;

        bool operator==(const SecurityAssociationParameters &other) const = default;
    };

    AuthenticationMethod authenticationMethod = AuthenticationMethod::None;
    // User name and password (EAP) on top of the authentication method.
    bool useExtendedAuthentication = false;
    QString serverAddress;
    QString remoteIdentifier;
    QString username;
    // Persistent reference of the credential item that holds the password; never the password.
    QByteArray passwordReference;
    SecurityAssociationParameters ikeSecurityAssociationParameters;
    SecurityAssociationParameters childSecurityAssociationParameters;
    bool enablePFS = false;
    bool includeAllNetworks = false;
    bool excludeLocalNetworks = false;

    // The proposals in strongSwan's notation, e.g. "aes256gcm16-prfsha384-curve25519".
    [[nodiscard]] QString ikeProposal() const;
    [[nodiscard]] QString espProposal() const;
    // Takes back proposals as ikeProposal() and espProposal() write them; false, with nothing
    // changed, for anything else.
    bool setProposals(const QString &ike, const QString &esp);

    bool operator==(const IKEv2Settings &other) const = default;
};
