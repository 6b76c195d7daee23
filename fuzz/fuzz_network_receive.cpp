// The whole network receive path of the main window: acceptance, routing by
// the outstanding request and every decode behind it. The first input byte
// chooses the outstanding request (bits 0..5: a row of the read or write
// reply table, or a block without a row), whether the tag capture flag is set
// (bit 6) and whether the datagram's first byte is kept as it is (bit 7) or
// made a good reply of the request's service. The sequence number is made to
// match, so the decoders see the data.
#include "fuzz_window.h"
#include "protocol/network_replies.h"

#include <QFile>
#include <QLineEdit>

#include <cstdint>
#include <cstdlib>

using namespace kalmo;

namespace {

constexpr quint16 kReadSequence = 0x1234;
constexpr quint16 kWriteSequence = 0x5678;
// The dump goes to "<txtDevID>.DAT" in the working directory.
const QString kDeviceId = QStringLiteral("fuzzdump");

Form1 &window()
{
    static Form1 *form = [] {
        ProgramOptions options;
        options.link = ProgramOptions::Link::Network;
        return makeFuzzWindow(options);
    }();
    return *form;
}

struct Outstanding
{
    qint32 address;
    qint32 type;
    qint32 itemCount;
    bool write;
};

Outstanding outstanding(quint8 selector)
{
    const auto reads = networkReadReplies();
    const auto writes = networkWriteReplies();
    const std::size_t count = reads.size() + writes.size() + 1;
    const std::size_t index = (selector & 0x3F) % count;
    if (index < reads.size()) {
        const NetworkReplyRow &row = reads[index];
        const bool byCount = row.key == NetworkReplyKey::ItemCount;
        return {row.blockAddress, byCount ? 0 : row.value, byCount ? row.value : 0, false};
    }
    if (index < reads.size() + writes.size()) {
        const NetworkReplyRow &row = writes[index - reads.size()];
        return {row.blockAddress, row.value, 0, true};
    }
    return {4242, 1, 0, (selector & 1) != 0}; // a block without a row
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Form1 &form = window();
    if (size == 0) {
        form.session().wsckR_W_DataArrival(QByteArray());
        return 0;
    }
    const quint8 selector = data[0];
    const Outstanding request = outstanding(selector);
    SendState &send = form.dispatcher().sendState();
    send.blockAddress = request.address;
    send.blockType = request.type;
    send.itemCount = request.itemCount;
    // Replies are routed by what the request carrying their sequence number
    // addressed.
    send.lastRead = send.lastWrite = {request.address, request.type, request.itemCount};
    send.readSequence = kReadSequence;
    send.writeSequence = kWriteSequence;
    form.session().tagCaptureFlag = (selector & 0x40) ? 1 : 0;
    form.dispatcher().setUpgradeFlag(1);
    form.findChild<QLineEdit *>(QStringLiteral("txtDevID"))->setText(kDeviceId);

    QByteArray datagram(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (!datagram.isEmpty() && !(selector & 0x80)) datagram[0] = char(request.write ? 0x4D : 0x4C);
    if (datagram.size() >= 8) {
        const quint16 sequence = quint8(datagram[0]) & 1 ? kWriteSequence : kReadSequence;
        datagram[6] = char(sequence & 0xFF);
        datagram[7] = char(sequence >> 8);
    }
    form.session().wsckR_W_DataArrival(datagram);

    QFile::remove(kDeviceId + QStringLiteral(".DAT"));
    return 0;
}
