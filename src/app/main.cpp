// Kalmo: start-up of the application and its main window.
#include "app/form1.h"
#include "app/program_options.h"
#include "core/codepage.h"

#include <QApplication>
#include <QTimer>
#include <optional>

#include <cstdio>
#include <memory>

using namespace kalmo;

namespace {

// --help, --version and option errors are answered before any window system is
// reached, so they work without a display.
std::optional<int> answerWithoutWindow(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ParsedOptions parsed = parseProgramOptions(arguments);
    if (!parsed.exitNow) return std::nullopt;
    std::fputs(parsed.message.toLocal8Bit().constData(), parsed.exitCode ? stderr : stdout);
    return parsed.exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Kalmo"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.14.0"));
    if (const std::optional<int> exitCode = answerWithoutWindow(argc, argv)) return *exitCode;
    if (!cp936::available()) {
        std::fputs("kalmo: this Qt has no code page 936 (GBK) codec; "
                   "the controllers' texts cannot be read or written.\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    // On Windows the record comes from the process's command line as Qt reads it.
    const ParsedOptions parsed = parseProgramOptions(QApplication::arguments());
    const ProgramOptions &options = parsed.options;

    // Owned here, so the window goes whichever way the program ends (Esc
    // leaves the event loop without closing it).
    const auto window = std::make_unique<Form1>(options);
    window->show();

    auto saveScreenshot = [w = window.get(), file = options.screenshotFile] {
        if (!w->grab().save(file, "PNG"))
            std::fprintf(stderr, "kalmo: cannot write the screenshot %s\n", qPrintable(file));
    };
    if (options.quitAfterSeconds) {
        QTimer::singleShot(qRound(*options.quitAfterSeconds * 1000), &app,
                           [&app, &options, saveScreenshot] {
                               if (!options.screenshotFile.isEmpty()) saveScreenshot();
                               app.quit();
                           });
    } else if (!options.screenshotFile.isEmpty()) {
        // Alone, the screenshot is taken as soon as the window is shown.
        QTimer::singleShot(0, window.get(), saveScreenshot);
    }
    return app.exec();
}
