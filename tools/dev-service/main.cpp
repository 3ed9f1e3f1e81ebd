// The stand-in service as a program: point the application at it to try it without the real service.

#include "StandInService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-dev-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs the Velmora stand-in service on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (default 8710)."),
                                        QStringLiteral("N"), QStringLiteral("8710"));
    const QCommandLineOption tlsOption(
        QStringLiteral("tls"),
        QStringLiteral("Serve HTTPS with a self-signed certificate (clients refuse it)."));
    parser.addOption(portOption);
    parser.addOption(tlsOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    bool validPort = false;
    const uint port = parser.value(portOption).toUInt(&validPort);
    if (!validPort || port > 65535) {
        err << "Not a port number: " << parser.value(portOption) << Qt::endl;
        return 2;
    }

    StandInService service;
    const auto mode = parser.isSet(tlsOption) ? StandInService::Mode::Tls : StandInService::Mode::Http;
    if (!service.start(mode, quint16(port))) {
        err << "Cannot listen on 127.0.0.1:" << port
            << (mode == StandInService::Mode::Tls ? " (or the openssl tool failed)" : "") << Qt::endl;
        return 1;
    }

    out << "Velmora stand-in service on " << service.apiUrl() << Qt::endl;
    out << "VELMORA_API_URL=" << service.apiUrl() << Qt::endl;
    // The update key is made anew at each start: it signs the stand-in release and nothing else.
    out << "VELMORA_UPDATE_FEED=" << service.updateFeedUrl() << Qt::endl;
    out << "VELMORA_UPDATE_PUBLIC_KEY=" << service.updatePublicKey() << Qt::endl;
    out << "Demo account: " << StandInService::demoEmail << " / " << StandInService::demoPassword << Qt::endl;
    if (mode == StandInService::Mode::Tls) {
        out << "Self-signed certificate, SHA-256 "
            << service.certificate().digest(QCryptographicHash::Sha256).toHex(':') << Qt::endl;
    }
    out << "Promotion codes: " << StandInService::redeemableCode << " (applies once), "
        << StandInService::usedCode << " (used), " << StandInService::voidCode << " (withdrawn)" << Qt::endl;

    QObject::connect(&service, &StandInService::requestReceived, &app,
                     [&out](const StandInService::Request &request) {
                         out << request.method << ' ' << request.path << Qt::endl;
                     });
    return QCoreApplication::exec();
}
