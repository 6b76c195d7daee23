// The command-line record applied to the whole main window: arbitrary text
// (as UTF-8 arguments arrive) put through the image reader and every panel
// control a key names. No crash, no hang, no read out of bounds.
#include "fuzz_window.h"
#include "features/image_files/image_files_feature.h"


#include <cstdint>

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
    const QString record = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    window().imageFilesFeature->applyRecord(record);
    return 0;
}
