#pragma once
// kalmo-cli: the subcommands, their options and the exit status. Output goes
// to `out`, errors and --verbose logs to `err`; the event loop of the running
// core application carries the links.
#include <QStringList>
#include <QTextStream>

namespace kalmo::cli {

enum ExitStatus {
    kSuccess = 0,
    kDeviceFailed = 1, // a device did not answer or refused
    kBadUsage = 2,     // bad usage or bad input; nothing was sent
};

// `arguments` without the program name.
int runCli(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace kalmo::cli
