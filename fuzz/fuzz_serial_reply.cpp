// Serial reply checking and Hex2Bin over arbitrary received bytes: never a
// read outside the reply, and the verdict always consistent with the tests
// that made it.
#include "protocol/crc.h"
#include "protocol/frames.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kalmo;
    // A real copy, so a read past the end is caught by the sanitizers.
    const QByteArray reply(reinterpret_cast<const char *>(data), qsizetype(size));

    const SerialReplyCheck check = verifySerialReply(reply);
    const qsizetype m = reply.size();
    require(check.checksumTested == (m <= kMaxChecksummedReplyLength));
    require(check.checksumFailed == (check.checksumTested && check.checksumRegister != 0));
    if (check.checksumTested && m >= 5) {
        const QByteArrayView covered = QByteArrayView(reply).sliced(2, m - 4);
        require(check.checksumRegister == crc16ModbusBitwise(covered));
    }
    const bool framed = m >= 4 && quint8(reply[0]) == 0x55 && quint8(reply[1]) == 0x55 &&
                        quint8(reply[m - 2]) == 0xAA && quint8(reply[m - 1]) == 0xAA;
    require(check.framingOk == framed);
    if (check.accepted()) {
        require(framed && !check.checksumFailed);
        require(check.functionNumber == quint8(reply[2]));
    } else {
        require(check.functionNumber == -1);
        require(check.checksumFailed ==
                (check.verdict == SerialReplyVerdict::DropWithChecksumError));
    }

    const QString text = QString::fromLatin1(reply);
    const QString bits = Hex2Bin(text);
    require(bits.size() == 4 * text.size());
    for (const QChar c : bits)
        require(c == u'0' || c == u'1');
    return 0;
}
