// Image files and command-line records over arbitrary bytes: decoded whole,
// split into clean label/value pairs, each key mapped to what it sets, the
// whole-address, date and time values parsed only when well formed, and
// every pair written again reading back the same.
#include "protocol/image_file.h"

#include "core/codepage.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

bool cleanStart(const QString &key)
{
    const QChar c = key.front();
    return c != u'\r' && c != u'\n' && c != kalmo::kImageGroupLine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kalmo;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QList<ImageItem> items = readImageFile(bytes);
    require(items.size() <= cp936::decode(bytes).count(kImageItemEnd));

    QString again;
    QList<ImageItem> expected;
    for (const ImageItem &item : items) {
        require(!item.key.isEmpty() && cleanStart(item.key));
        require(item.value == item.value.trimmed());
        require(!breaksImageFile(item.key) && !breaksImageFile(item.value));

        if (const auto target = imageItemTarget(item.key)) {
            switch (target->field) {
            case ImageField::PortList:
                require(target->port >= 0 && target->port < 2);
                require(ImageValueIndex(item.value) >= 0 && ImageValueIndex(item.value) <= 20);
                break;
            case ImageField::WholeIp:
                if (const auto parts = splitImageIp(item.value))
                    require(QStringList(parts->begin(), parts->end()).join(u'.') == item.value);
                break;
            case ImageField::WholeMac:
                if (const auto parts = splitImageMac(item.value))
                    require(QStringList(parts->begin(), parts->end()).join(u'-') == item.value);
                break;
            case ImageField::ProductionDate:
                if (const auto date = parseImageDate(item.value))
                    require(parseImageDate(imageDateText(*date)) == date);
                break;
            case ImageField::ProductionTime:
                if (const auto time = parseImageTime(item.value))
                    require(parseImageTime(imageTimeText(*time)) == time);
                break;
            default:
                break;
            }
        }

        // Written again, a pair reads back as it was (an empty value as "0"),
        // unless its key only reads back trimmed or writes a separator line.
        if (item.key != item.key.trimmed() || item.key == QString::fromUtf16(kImageLineBreakLabel))
            continue;
        WriteImageItem(again, item.key, item.value);
        expected.append({item.key, item.value.isEmpty() ? QStringLiteral("0") : item.value});
    }
    require(readImageItems(again) == expected);
    return 0;
}
