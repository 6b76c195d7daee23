// The whole serial receive path of the main window: verification, routing by
// function number and every decode behind it. The first input byte chooses
// how the rest arrives: raw, or wrapped in a sound frame (header, CRC,
// trailer) so that the decoders see it.
#include "fuzz_window.h"
#include "protocol/frames.h"


#include <cstdint>
#include <cstdlib>

using namespace kalmo;

namespace {

Form1 &window()
{
    static Form1 *form = makeFuzzWindow(ProgramOptions{});
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
