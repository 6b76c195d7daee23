// The whole serial receive path of the main window: verification, routing by
// function number and every decode behind it. The first input byte chooses
// how the rest arrives: raw, or wrapped in a sound frame (header, CRC,
// trailer) so that the decoders see it.
#include "protocol/frames.h"
#include "app/form1.h"
#include "transport/fake_links.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>

using namespace kalmo;

namespace {

Form1 &window()
{
    static int argc = 1;
    static char name[] = "fuzz_serial_receive";
    static char *argv[] = {name, nullptr};
    static QApplication *app = [] {
        // Error logs are appended in the working directory: run from a scratch one.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    Q_UNUSED(app);
    static Form1 *form = [] {
        // On the in-memory links, and no port of the host is probed.
        auto *f = new Form1(ProgramOptions{},
                            WindowTransports{fakeTransports(), [] { return QStringList(); }});
        f->showMessageBox = [](const MessageBoxRequest &) {};
        return f;
    }();
    return *form;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Form1 &form = window();
    if (size == 0) {
        form.session().receiveSerial(QByteArray());
        return 0;
    }
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] & 1) {
        // rest = function number and data
        QByteArray frame(rest.size() + 6, '\0');
        std::copy(rest.begin(), rest.end(), frame.begin() + 2);
        if (frame.size() >= 7)
            completeSerialFrame(frame);
        form.session().receiveSerial(frame);
    } else {
        form.session().receiveSerial(rest);
    }
    return 0;
}
