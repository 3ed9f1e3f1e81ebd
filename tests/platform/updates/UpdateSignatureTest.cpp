#include "UpdateSignature.h"
#include "Ed25519Key.h"

#include <QTemporaryDir>
#include <QtTest>

class UpdateSignatureTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void verify_data()
    {
        const QByteArray file = QByteArray("release bytes\n").repeated(1000);
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QByteArray>("publicKey");
        QTest::addColumn<bool>("valid");
        QTest::newRow("signed file") << file << file << QByteArray() << QByteArray() << true;
        QTest::newRow("empty file") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << true;
        QByteArray changed = file;
        changed[500] = char(changed[500] ^ 1);
        QTest::newRow("one bit changed") << file << changed << QByteArray() << QByteArray() << false;
        QTest::newRow("one byte more") << file << file + '\n' << QByteArray() << QByteArray() << false;
        QTest::newRow("another key") << file << file << QByteArray() << Ed25519Key().publicKey() << false;
        QTest::newRow("signature not base64")
            << file << file << QByteArray("*not base64*") << QByteArray() << false;
        QTest::newRow("signature too short")
            << file << file << QByteArray(63, 'a').toBase64() << QByteArray() << false;
        QTest::newRow("key too short")
            << file << file << QByteArray() << QByteArray(31, 'k').toBase64() << false;
        QTest::newRow("no key") << file << file << QByteArray() << QByteArray("") << false;
    }

    void verify()
    {
        QFETCH(QByteArray, original);
        QFETCH(QByteArray, onDisk);
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, publicKey);
        QFETCH(bool, valid);
        const QString path = m_dir.filePath(QStringLiteral("update"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(onDisk), onDisk.size());
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(UpdateSignature::verify(file, signature.isNull() ? m_key.sign(original) : signature,
                                         publicKey.isNull() ? m_key.publicKey() : publicKey),
                 valid);
    }

    void unopenedFileFails()
    {
        QFile absent(m_dir.filePath(QStringLiteral("absent")));
        QVERIFY(!UpdateSignature::verify(absent, m_key.sign({}), m_key.publicKey()));
    }

private:
    Ed25519Key m_key;
    QTemporaryDir m_dir;
};

QTEST_APPLESS_MAIN(UpdateSignatureTest)
#include "UpdateSignatureTest.moc"
