// The command-line record applied to the whole main window: arbitrary text
// (as UTF-8 arguments arrive) put through the image reader and every panel
// control a key names. No crash, no hang, no read out of bounds.
#include "app/form1.h"
#include "features/image_files/image_files_feature.h"
#include "transport/fake_links.h"

#include <QApplication>

#include <cstdint>

using namespace kalmo;

namespace {

Form1 &window()
{
    static int argc = 1;
    static char name[] = "fuzz_command_line_record";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        // Error logs are appended in the working directory: run from a scratch one.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    Q_UNUSED(app);
    static Form1 *form = [] {
        auto *f = new Form1(ProgramOptions{},
                            WindowTransports{fakeTransports(), [] { return QStringList(); }});
        f->showMessageBox = [](const MessageBoxRequest &) {};
        f->askQuestion = [](const MessageBoxRequest &) { return false; };
        return f;
    }();
    return *form;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString record = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    window().imageFilesFeature->applyRecord(record);
    return 0;
}
