#pragma once
// Program options. Options come first; the text that follows them is the
// command-line record, kept for the whole run.
#include <QString>
#include <QStringList>

#include <optional>

namespace kalmo {

struct ProgramOptions
{
    enum class Link { Serial, Network };

    QStringList ports;                      // --port, in the order given; listed first in ComPort
    Link link = Link::Serial;               // --link
    QString device;                         // --device A.B.C.D (network mode)
    std::optional<double> quitAfterSeconds; // --quit-after
    QString screenshotFile;                 // --screenshot
    QString commandLineRecord;              // everything after the options
};

struct ParsedOptions
{
    ProgramOptions options;
    bool exitNow = false; // --help, --version or an error: print message, exit with exitCode
    int exitCode = 0;
    QString message;
};

// Parses the arguments (argv[0] first). Never exits the process itself.
ParsedOptions parseProgramOptions(const QStringList &arguments);

} // namespace kalmo
