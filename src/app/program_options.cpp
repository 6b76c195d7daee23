#include "app/program_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>

namespace kalmo {

ParsedOptions parseProgramOptions(const QStringList &arguments)
{
    ParsedOptions result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Kalmo: maintenance and configuration of KVRQ, LTNQ, KVSQ, KVRX and KVRB "
                       "controllers over a serial port or Ethernet."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Add a serial port (a device path or a name such "
                                                 "as COM5) to the port list; repeatable."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Link selected at start-up: serial or network."),
                                  QStringLiteral("serial|network"), QStringLiteral("serial"));
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("In network mode, choose this device as soon "
                                                   "as it is listed."),
                                    QStringLiteral("A.B.C.D"));
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"),
                                       QStringLiteral("Quit that many seconds after start-up."),
                                       QStringLiteral("SECONDS"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a PNG of the main window just before "
                                                       "quitting, or once shown when alone."),
                                        QStringLiteral("FILE"));
    parser.addOptions({help, version, port, link, device, quitAfter, screenshot});
    parser.addPositionalArgument(QStringLiteral("record"),
                                 QStringLiteral("Command-line record: label€value| items that "
                                                "pre-fill the panel and start communication."),
                                 QStringLiteral("[record...]"));

    // The help is given before any application object exists: name the
    // program as it was started.
    const QString program = arguments.isEmpty() || arguments.first().isEmpty()
                                ? QStringLiteral("kalmo")
                                : QFileInfo(arguments.first()).fileName();
    const auto helpText = [&] {
        return parser.helpText().replace(QStringLiteral("<executable_name>"), program);
    };

    auto fail = [&](const QString &message) {
        result.exitNow = true;
        result.exitCode = 2;
        result.message = message + QStringLiteral("\n\n") + helpText();
        return result;
    };

    if (!parser.parse(arguments)) return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.exitNow = true;
        result.message = helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exitNow = true;
        result.message = QStringLiteral("Kalmo 1.14.0\n");
        return result;
    }

    ProgramOptions &o = result.options;
    o.ports = parser.values(port);
    const QString linkName = parser.value(link).toLower();
    if (linkName == QLatin1String("serial"))
        o.link = ProgramOptions::Link::Serial;
    else if (linkName == QLatin1String("network"))
        o.link = ProgramOptions::Link::Network;
    else
        return fail(
            QStringLiteral("--link takes serial or network, not \"%1\".").arg(parser.value(link)));
    if (parser.isSet(device)) {
        // Four dotted decimal numbers, each 0..255.
        static const QRegularExpression dottedQuad(
            QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
        QHostAddress address;
        if (!dottedQuad.match(parser.value(device)).hasMatch() ||
            !address.setAddress(parser.value(device)) ||
            address.protocol() != QAbstractSocket::IPv4Protocol)
            return fail(QStringLiteral("--device takes an IPv4 address such as 127.0.0.2, not "
                                       "\"%1\".")
                            .arg(parser.value(device)));
        o.device = address.toString();
    }
    if (parser.isSet(quitAfter)) {
        bool ok = false;
        const double seconds = parser.value(quitAfter).toDouble(&ok);
        if (!ok || seconds < 0)
            return fail(QStringLiteral("--quit-after takes a number of seconds, not \"%1\".")
                            .arg(parser.value(quitAfter)));
        o.quitAfterSeconds = seconds;
    }
    o.screenshotFile = parser.value(screenshot);
    o.commandLineRecord = parser.positionalArguments().join(u' ');
    return result;
}

} // namespace kalmo
