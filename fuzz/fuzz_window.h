#pragma once
// The main window the window-level fuzz targets drive: one for the whole run,
// offscreen, on the in-memory links, probing no port of the host, its message
// boxes dropped and its questions answered No.
#include "app/form1.h"
#include "transport/fake_links.h"

#include <QApplication>

inline kalmo::Form1 *makeFuzzWindow(const kalmo::ProgramOptions &options)
{
    static int argc = 1;
    static char name[] = "kalmo_fuzz";
    static char *argv[] = {name, nullptr};
    // Error logs are appended in the working directory: run from a scratch one.
    static QApplication *app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    Q_UNUSED(app);
    auto *w = new kalmo::Form1(
        options, kalmo::WindowTransports{kalmo::fakeTransports(), [] { return QStringList(); }});
    w->showMessageBox = [](const kalmo::MessageBoxRequest &) {};
    w->askQuestion = [](const kalmo::MessageBoxRequest &) { return false; };
    return w;
}
