// Kalmo: start-up of the application and its main window.
#include "shell/form1.h"
#include "shell/program_options.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

using namespace kalmo;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kalmo"));
    QApplication::setApplicationVersion(QStringLiteral("1.14.0"));

    const ParsedOptions parsed = parseProgramOptions(QApplication::arguments());
    if (parsed.exitNow) {
        std::fputs(parsed.message.toLocal8Bit().constData(), parsed.exitCode ? stderr : stdout);
        return parsed.exitCode;
    }
    const ProgramOptions &options = parsed.options;

    auto *window = new Form1(options);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();

    auto saveScreenshot = [window, file = options.screenshotFile] {
        if (!window->grab().save(file, "PNG"))
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
        QTimer::singleShot(0, window, saveScreenshot);
    }
    return app.exec();
}
