#pragma once
// The e-mail to customer support: a mailto link to the support address with the system, the
// application version, the language and the account in its body, opened in the user's mail client.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class SupportMail : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    struct Details
    {
        QString systemVersion;
        QString appVersion;
        QString language;
        QString userName;
    };

    // What this system and the stored account give, "Unknown" for what is missing.
    [[nodiscard]] static Details gather();
    // The link as it is opened, byte for byte.
    [[nodiscard]] static QByteArray link(const QString &recipient, const Details &details);
    // Percent-encodes every byte but letters, digits and - . _ ~ ! $ ' ( ) * , ; : [ ].
    [[nodiscard]] static QByteArray encoded(const QString &text);

    // Composes the mail from this system and account and hands it to the mail client.
    Q_INVOKABLE static void compose();
};
