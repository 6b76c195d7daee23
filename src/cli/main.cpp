// kalmo-cli: the controllers' system information from the command line, on
// the same session as the window and without any widget.
#include "cli/cli_app.h"
#include "core/codepage.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kalmo"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.14.0"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!kalmo::cp936::available()) {
        err << "kalmo-cli: this Qt has no code page 936 (GBK) codec; "
               "the controllers' texts cannot be read or written.\n";
        return kalmo::cli::kBadUsage;
    }
    const int status = kalmo::cli::runCli(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}
