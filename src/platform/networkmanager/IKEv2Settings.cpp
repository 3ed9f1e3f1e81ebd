#include "IKEv2Settings.h"

#include <QStringList>

#include <array>
#include <optional>
#include <utility>

namespace {

using Parameters = IKEv2Settings::SecurityAssociationParameters;
using Encryption = Parameters::EncryptionAlgorithm;
using Integrity = Parameters::IntegrityAlgorithm;
using Group = Parameters::DiffieHellmanGroup;

constexpr std::array<std::pair<Encryption, const char *>, 5> encryptionKeywords{{
    {Encryption::AES128, "aes128"},
    {Encryption::AES256, "aes256"},
    {Encryption::AES128GCM, "aes128gcm16"},
    {Encryption::AES256GCM, "aes256gcm16"},
    {Encryption::ChaCha20Poly1305, "chacha20poly1305"},
}};

constexpr std::array<std::pair<Integrity, const char *>, 3> integrityKeywords{{
    {Integrity::SHA256, "sha256"},
    {Integrity::SHA384, "sha384"},
    {Integrity::SHA512, "sha512"},
}};

constexpr std::array<std::pair<Group, const char *>, 10> groupKeywords{{
    {Group::Group14, "modp2048"},
    {Group::Group15, "modp3072"},
    {Group::Group16, "modp4096"},
    {Group::Group17, "modp6144"},
    {Group::Group18, "modp8192"},
    {Group::Group19, "ecp256"},
    {Group::Group20, "ecp384"},
    {Group::Group21, "ecp521"},
    {Group::Group31, "curve25519"},
    {Group::Group32, "curve448"},
}};

const QString prfPrefix = QStringLiteral("prf");

template <typename Enum, std::size_t N>
QString keyword(const std::array<std::pair<Enum, const char *>, N> &table, Enum value)
{
    for (const auto &[entry, text] : table) {
        if (entry == value)
            return QString::fromLatin1(text);
    }
    return {};
}

template <typename Enum, std::size_t N>
std::optional<Enum> fromKeyword(const std::array<std::pair<Enum, const char *>, N> &table,
                                const QString &word)
{
    for (const auto &[entry, text] : table) {
        if (word == QLatin1String(text))
            return entry;
    }
    return std::nullopt;
}

// Combined-mode ciphers authenticate by themselves: no integrity algorithm goes with them.
bool isAead(Encryption encryption)
{
    return encryption == Encryption::AES128GCM || encryption == Encryption::AES256GCM
        || encryption == Encryption::ChaCha20Poly1305;
}

} // namespace

QString IKEv2Settings::ikeProposal() const
{
    const Parameters &ike = ikeSecurityAssociationParameters;
    const QString integrity = keyword(integrityKeywords, ike.integrityAlgorithm);
    return QStringList{keyword(encryptionKeywords, ike.encryptionAlgorithm),
                       isAead(ike.encryptionAlgorithm) ? prfPrefix + integrity : integrity,
                       keyword(groupKeywords, ike.diffieHellmanGroup)}
        .join(QLatin1Char('-'));
}

QString IKEv2Settings::espProposal() const
{
    const Parameters &child = childSecurityAssociationParameters;
    QStringList words{keyword(encryptionKeywords, child.encryptionAlgorithm)};
    if (!isAead(child.encryptionAlgorithm))
        words.append(keyword(integrityKeywords, child.integrityAlgorithm));
    if (enablePFS)
        words.append(keyword(groupKeywords, child.diffieHellmanGroup));
    return words.join(QLatin1Char('-'));
}

bool IKEv2Settings::setProposals(const QString &ikeText, const QString &espText)
{
    const QStringList ikeWords = ikeText.split(QLatin1Char('-'));
    if (ikeWords.size() != 3)
        return false;
    const auto ikeEncryption = fromKeyword(encryptionKeywords, ikeWords[0]);
    if (!ikeEncryption)
        return false;
    QString integrityWord = ikeWords[1];
    if (isAead(*ikeEncryption)) {
        if (!integrityWord.startsWith(prfPrefix))
            return false;
        integrityWord = integrityWord.mid(prfPrefix.size());
    }
    const auto ikeIntegrity = fromKeyword(integrityKeywords, integrityWord);
    const auto ikeGroup = fromKeyword(groupKeywords, ikeWords[2]);
    if (!ikeIntegrity || !ikeGroup)
        return false;

    QStringList espWords = espText.split(QLatin1Char('-'));
    const auto childEncryption = fromKeyword(encryptionKeywords, espWords.takeFirst());
    if (!childEncryption)
        return false;
    // A combined-mode child has no integrity of its own: it reads back as the IKE one.
    std::optional<Integrity> childIntegrity = *ikeIntegrity;
    if (!isAead(*childEncryption)) {
        childIntegrity =
            espWords.isEmpty() ? std::nullopt : fromKeyword(integrityKeywords, espWords.takeFirst());
        if (!childIntegrity)
            return false;
    }
    std::optional<Group> childGroup = *ikeGroup;
    const bool pfs = !espWords.isEmpty();
    if (pfs) {
        childGroup = fromKeyword(groupKeywords, espWords.takeFirst());
        if (!childGroup || !espWords.isEmpty())
            return false;
    }

    ikeSecurityAssociationParameters = {*ikeEncryption, *ikeIntegrity, *ikeGroup};
    childSecurityAssociationParameters = {*childEncryption, *childIntegrity, *childGroup};
    enablePFS = pfs;
    return true;
}
