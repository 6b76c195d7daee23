#include "cli/cli_app.h"

#include "cli/device_fields.h"
#include "core/codepage.h"
#include "core/error_log.h"
#include "core/error_texts.h"
#include "protocol/crc.h"
#include "protocol/device_catalogue.h"
#include "protocol/upgrade_package.h"
#include "transport/discovery.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kalmo::cli {

namespace {

const char kUsage[] = R"(Usage: kalmo-cli SUBCOMMAND [options]

Subcommands:
  list                 devices announcing on the network: IP, service port,
                       type, device ID, PD tag
  read                 system parameters, identity, clock, MAC and gateway
  write                change the named fields on top of a fresh read
                       (--set field=value ..., or --from FILE.json)
  clock                set the device clock: --set now | --set "YYYY-MM-DD HH:MM:SS"
  image save FILE      the device's parameter image into a text file
  image load FILE      a parameter image file written to the device (--set
                       fields override the file's values)
  upgrade FILE         the firmware in FILE sent to the device; its size,
                       packets and CRC-32 are shown first, for confirmation

Options:
  --port NAME          the device on this serial port
  --device A.B.C.D     the device at this address on the network (repeatable)
  --all                every device announcing within --listen seconds
  --listen SECONDS     how long to listen for announcements (default 3)
  --discovery-port N   the UDP port announcements come to (default 12000)
  --json               read: print the fields as one JSON object
  --set FIELD=VALUE    write: a field to change (repeatable); clock: the time
  --from FILE.json     write: the fields of a file such as read --json prints
  --yes                answer yes: upgrade without asking, save an image
                       despite a mismatch, overwrite an image file
  --verbose            log every request and reply as hex with a timestamp
  --help               this text

Exit status: 0 success, 1 a device did not answer or refused, 2 bad usage or
bad input (nothing sent).
)";

struct Options
{
    QString subcommand;
    QStringList operands; // what follows the subcommand: "save FILE", "load FILE", "FILE"
    bool yes = false;
    QString port;
    QStringList devices;
    bool all = false;
    int listenMs = 3000;
    quint16 discoveryPort = kDiscoveryPort;
    bool json = false;
    QStringList sets;
    QString from;
    bool verbose = false;
    bool help = false;
};

struct UsageError
{
    QString text;
};

Options parseOptions(const QStringList &args)
{
    Options o;
    const auto value = [&](qsizetype &i) {
        if (i + 1 >= args.size()) throw UsageError{args[i] + QStringLiteral(" needs a value")};
        return args[++i];
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--port") {
            if (!o.port.isEmpty()) throw UsageError{QStringLiteral("--port is given twice")};
            o.port = value(i);
        } else if (a == u"--device") {
            o.devices << value(i);
        } else if (a == u"--all") {
            o.all = true;
        } else if (a == u"--listen") {
            bool ok = false;
            const double seconds = value(i).toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 3600)
                throw UsageError{QStringLiteral("--listen takes seconds, 0..3600")};
            o.listenMs = int(seconds * 1000);
        } else if (a == u"--discovery-port") {
            bool ok = false;
            const uint port = value(i).toUInt(&ok);
            if (!ok || port > 65535)
                throw UsageError{QStringLiteral("--discovery-port takes a port 0..65535")};
            o.discoveryPort = quint16(port);
        } else if (a == u"--json") {
            o.json = true;
        } else if (a == u"--set") {
            o.sets << value(i);
        } else if (a == u"--from") {
            o.from = value(i);
        } else if (a == u"--verbose") {
            o.verbose = true;
        } else if (a == u"--yes" || a == u"-y") {
            o.yes = true;
        } else if (a == u"--help" || a == u"-h") {
            o.help = true;
        } else if (a.startsWith(u'-')) {
            throw UsageError{QStringLiteral("unknown option ") + a};
        } else if (o.subcommand.isEmpty()) {
            o.subcommand = a;
        } else {
            o.operands << a;
        }
    }
    return o;
}

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// An announcing device.
struct Heard
{
    QString address;
    quint16 servicePort = 0;
    QByteArray deviceId;
    QString pdTag;
};

// Every device announcing within the time, in the order first heard.
std::optional<QList<Heard>> listen(quint16 port, int ms, QTextStream &err)
{
    std::unique_ptr<AnnouncementListener> listener(makeDiscoveryListener(nullptr));
    if (const auto failure = listener->start(port)) {
        err << QStringLiteral("kalmo-cli: cannot listen on UDP %1: %2\n")
                   .arg(port)
                   .arg(WinsockErrorText(failure->number, failure->description));
        return std::nullopt;
    }
    QList<Heard> heard;
    QObject::connect(listener.get(), &AnnouncementListener::announcementReceived, listener.get(),
                     [&](const Announcement &a) {
                         const QString address = kalmo::dottedAddress(a.address);
                         for (const Heard &h : heard)
                             if (h.address == address) return;
                         const qsizetype end = a.pdTag.indexOf('\0');
                         heard.append({address, a.servicePort, a.deviceId,
                                       cp936::decode(end < 0 ? a.pdTag : a.pdTag.left(end))});
                     });
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return heard;
}

// The device ID as printed: its characters up to the first NUL byte.
QString deviceIdText(const QByteArray &id)
{
    const qsizetype end = id.indexOf('\0');
    return QString::fromLatin1(end < 0 ? id : id.left(end));
}

// The model a device ID names: its serial number is right-aligned in the
// last 16 characters, padded with "0", so the shortest reading the lookup
// knows wins.
QString modelOf(const QByteArray &deviceId)
{
    const QString id = deviceIdText(deviceId);
    for (int length : {14, 15, 16}) {
        const auto lookup = lookupSerialNumber(id.right(length));
        if (lookup && !lookup->deviceTypeText.isEmpty() &&
            lookup->deviceTypeText != kUnknownDeviceText)
            return lookup->deviceTypeText;
    }
    return QStringLiteral("?");
}

int listDevices(const Options &o, QTextStream &out, QTextStream &err)
{
    const auto heard = listen(o.discoveryPort, o.listenMs, err);
    if (!heard) return kDeviceFailed;
    out << QStringLiteral("%1  %2  %3  %4  %5\n")
               .arg(QStringLiteral("IP"), -15)
               .arg(QStringLiteral("PORT"), -5)
               .arg(QStringLiteral("TYPE"), -10)
               .arg(QStringLiteral("DEVICE ID"), -32)
               .arg(QStringLiteral("PD TAG"));
    for (const Heard &h : *heard) {
        out << QStringLiteral("%1  %2  %3  %4  %5\n")
                   .arg(h.address, -15)
                   .arg(h.servicePort, -5)
                   .arg(modelOf(h.deviceId), -10)
                   .arg(deviceIdText(h.deviceId), -32)
                   .arg(h.pdTag.trimmed());
    }
    out << QStringLiteral("%1 device(s)\n").arg(heard->size());
    return kSuccess;
}

// The changes asked for, each checked alone; an error stops everything.
std::optional<QList<FieldChange>> collectChanges(const Options &o, QTextStream &err)
{
    QList<FieldChange> changes;
    if (!o.from.isEmpty()) {
        QFile file(o.from);
        if (!file.open(QIODevice::ReadOnly)) {
            err << QStringLiteral("kalmo-cli: cannot read %1: %2\n")
                       .arg(o.from, file.errorString());
            return std::nullopt;
        }
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (!doc.isObject()) {
            err << QStringLiteral("kalmo-cli: %1 is not a JSON object: %2\n")
                       .arg(o.from, parseError.errorString());
            return std::nullopt;
        }
        const QJsonObject object = doc.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const FieldInfo *field = findField(it.key());
            if (!field) {
                err << QStringLiteral("kalmo-cli: %1: unknown field \"%2\"\n")
                           .arg(o.from, it.key());
                return std::nullopt;
            }
            // What only describes the device (type, versions, clock) is not written.
            if (!field->writable) continue;
            changes.append({it.key(), it.value().toVariant().toString(), true});
        }
    }
    for (const QString &set : o.sets) {
        const qsizetype eq = set.indexOf(u'=');
        if (eq <= 0) {
            err << QStringLiteral("kalmo-cli: --set takes FIELD=VALUE, not \"%1\"\n").arg(set);
            return std::nullopt;
        }
        changes.append({set.left(eq).trimmed(), set.mid(eq + 1)});
    }
    for (const FieldChange &change : changes)
        if (const auto error = checkChange(change)) {
            err << QStringLiteral("kalmo-cli: ") << *error << u'\n';
            return std::nullopt;
        }
    return changes;
}

// "now", or "YYYY-MM-DD HH:MM:SS".
std::optional<ClockValue> clockToSet(const Options &o, QTextStream &err)
{
    if (o.sets.size() != 1) {
        err << "kalmo-cli: clock takes one --set now or --set \"YYYY-MM-DD HH:MM:SS\"\n";
        return std::nullopt;
    }
    const QString text = o.sets.first().trimmed();
    const QDateTime when = text == u"now"
                               ? QDateTime::currentDateTime()
                               : QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!when.isValid()) {
        err << QStringLiteral("kalmo-cli: \"%1\" is not a time YYYY-MM-DD HH:MM:SS\n").arg(text);
        return std::nullopt;
    }
    return clockFromPickers(when.date(), when.time(), weekDayIndexFromDate(when.date()));
}

QJsonObject fieldsObject(const DeviceState &state)
{
    QJsonObject object;
    for (const FieldInfo &field : deviceFields()) {
        const QString name = QString::fromLatin1(field.name);
        object.insert(name, fieldValue(state, name));
    }
    return object;
}

void printFields(const DeviceState &state, QTextStream &out)
{
    for (const FieldInfo &field : deviceFields()) {
        const QString name = QString::fromLatin1(field.name);
        out << QStringLiteral("%1  %2\n").arg(name, -26).arg(fieldValue(state, name));
    }
}

// What is to be done on each device, checked before anything is sent.
struct Job
{
    QList<FieldChange> changes;
    std::optional<ClockValue> clock;
    QList<ImageItem> imageItems; // image load
    QString imagePath;           // image save: where the file goes
    QList<QByteArray> packets;   // upgrade
};

// Whether a standard stream is a terminal (a question can be answered there).
bool isTerminal(FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

const QString kConfirmUpgradeText = QStringLiteral("升级将冲掉原来的程序，是否确认？");

// The firmware file cut into packets, shown, and confirmed: a file too large
// is refused before it is read.
std::optional<QList<QByteArray>> readFirmware(const Options &o, const QString &path,
                                              QTextStream &out, QTextStream &err)
{
    if (!QFileInfo::exists(path)) {
        err << QStringLiteral("kalmo-cli: %1: no such file\n").arg(path);
        return std::nullopt;
    }
    QByteArray image;
    const UpgradePackage package = readFirmwareFile(path, &image);
    if (!package.accepted()) {
        err << QStringLiteral("kalmo-cli: ") << upgradeRefusalText(package.refusal, path) << u'\n';
        return std::nullopt;
    }
    out << QStringLiteral("文件：%1\n大小：%2 字节\n包数：%3\nCRC-32：%4\n")
               .arg(path)
               .arg(image.size())
               .arg(package.UpgradePacketCount)
               .arg(QString::number(crc32(image), 16).rightJustified(8, u'0').toUpper());
    out.flush();
    if (!o.yes) {
        if (!isTerminal(stdin)) {
            err << "kalmo-cli: not on a terminal: --yes confirms the upgrade\n";
            return std::nullopt;
        }
        out << kConfirmUpgradeText << QStringLiteral(" [y/N] ");
        out.flush();
        QTextStream in(stdin);
        const QString answer = in.readLine().trimmed().toLower();
        if (answer != u"y" && answer != u"yes") {
            err << "kalmo-cli: upgrade not confirmed; nothing sent\n";
            return std::nullopt;
        }
    }
    return package.UpgradePackets;
}

// The session's progress as a bar on a terminal, or a line every tenth.
std::function<void(const ProgressState &)> progressPrinter(const QString &device, QTextStream &out)
{
    const bool terminal = isTerminal(stdout);
    auto lastTenth = std::make_shared<int>(-1);
    return [terminal, device, &out, lastTenth](const ProgressState &p) {
        if (p.maximum <= 0 || !p.visible) return;
        const int percent = std::clamp(p.value * 100 / p.maximum, 0, 100);
        if (terminal) {
            const int filled = percent * 40 / 100;
            out << QStringLiteral("\r%1 [%2%3] %4%")
                       .arg(device, QString(filled, u'#'), QString(40 - filled, u'.'))
                       .arg(percent, 3);
            if (percent == 100) out << u'\n';
            out.flush();
        } else if (percent / 10 != *lastTenth) {
            *lastTenth = percent / 10;
            out << QStringLiteral("%1 upgrade %2%\n").arg(device).arg(percent);
            out.flush();
        }
    };
}

// Saving and loading parameter images.
const QString kWrongDeviceTypeText = QStringLiteral("“设备类型”不正确，无法保存镜像！");
const QString kPdTagMismatchText = QStringLiteral("“PDTag”与“设备类型”不符，是否确定保存？");
const QString kSerialMismatchText = QStringLiteral("“设备序列号”与“设备类型”不符，是否确定保存？");
const QString kNoSuchImageText = QStringLiteral("该镜像文件不存在");
const QString kImageReadFailedText = QStringLiteral("镜像文件读取失败：");
const QString kImageSaveFailedText = QStringLiteral("镜像文件保存失败：");
const QString kImageSavedText = QStringLiteral("信息存盘成功");
// The PD tag starts with the device type it was made for.
constexpr int kPdTagTypeLength = 7;

// The file's items, each tried on a panel: a value no control can take is
// bad input, reported before anything is sent.
std::optional<QList<ImageItem>> readImage(const QString &path, QTextStream &err)
{
    QFile file(path);
    if (!file.exists()) {
        err << QStringLiteral("kalmo-cli: %1: %2\n").arg(path, kNoSuchImageText);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        err << QStringLiteral("kalmo-cli: %1%2 (%3)\n")
                   .arg(kImageReadFailedText, path, file.errorString());
        return std::nullopt;
    }
    const QList<ImageItem> items = readImageFile(file.readAll());
    QStringList refused;
    SystemPanel trial;
    for (const ImageItem &item : items) {
        const auto target = imageItemTarget(item.key);
        if (!target) continue; // keys the tool does not know are passed over, as on the panel
        try {
            applyImageValue(trial, *target, item.value);
        } catch (const std::exception &e) {
            refused << QStringLiteral("%1€%2: %3").arg(item.key, item.value, describeError(e));
        }
    }
    if (!refused.isEmpty()) {
        err << QStringLiteral("kalmo-cli: %1: values no control takes:\n  %2\n")
                   .arg(path, refused.join(QStringLiteral("\n  ")));
        return std::nullopt;
    }
    return items;
}

// The image file's name as the save dialog completes it.
QString imageSavePath(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".txt") : path;
}

// The panel's image into the file, after the checks the save button makes.
// A question the window would ask is answered by --yes.
std::optional<QString> saveImage(const Options &o, const SystemPanel &panel, const QString &path)
{
    if (!imageSavableDeviceType(panel.deviceType)) return kWrongDeviceTypeText;
    const ImageRecord record = imageRecordOf(panel);
    const QString askYes = QStringLiteral(" (--yes saves anyway)");
    if (record.pdTag.left(kPdTagTypeLength) != panel.deviceType && !o.yes)
        return kPdTagMismatchText + askYes;
    if (!serialNumberFitsDeviceType(panel.deviceType, record.serialNumber) && !o.yes)
        return kSerialMismatchText + askYes;
    if (const std::optional<QString> label = labelBreakingImageFile(record))
        return QStringLiteral("“%1”含有非法字符“|”或“€”，无法保存镜像！").arg(*label);
    // Written beside the old file and put in its place only when whole.
    QSaveFile file(path);
    const QByteArray bytes = imageFileBytes(record);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        appendErrorLog(QStringLiteral("cmdSave_Click(Form1)"), file.errorString());
        return kImageSaveFailedText + path + QStringLiteral(" (") + file.errorString() + u')';
    }
    return std::nullopt;
}

// What one device gave.
struct DeviceResult
{
    QString name;
    bool ok = false;
    QString text;       // the failure, or what was done
    QJsonObject fields; // read --json
};

DeviceResult runOnDevice(const Options &o, const DeviceAddress &address, const Job &job,
                         QTextStream &out, QTextStream &err)
{
    DeviceResult result;
    result.name = address.link == Link::Serial ? address.port : address.address;
    DeviceLink device(address);
    if (o.verbose)
        device.setTrafficLog([&](const QString &direction, const QByteArray &bytes) {
            err << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) << u' '
                << result.name << u' ' << direction << u' ' << hexText(bytes) << Qt::endl;
        });
    const auto failed = [&](const QString &what) {
        result.text = what + QStringLiteral(": ") + device.error();
        err << QStringLiteral("kalmo-cli: %1: %2\n").arg(result.name, result.text);
        return result;
    };
    if (!device.open(o.discoveryPort, o.listenMs)) {
        result.text = device.error();
        err << QStringLiteral("kalmo-cli: %1\n").arg(result.text);
        return result;
    }

    if (o.subcommand == u"clock") {
        if (!device.setClock(*job.clock)) return failed(QStringLiteral("clock"));
        result.ok = true;
        result.text = QStringLiteral("clock set");
        return result;
    }

    if (!device.read()) return failed(QStringLiteral("read"));
    if (o.subcommand == u"upgrade") {
        if (!device.upgrade(job.packets, progressPrinter(result.name, out)))
            return failed(QStringLiteral("upgrade"));
        result.ok = true;
        result.text = QStringLiteral("upgraded (%1 packets)").arg(job.packets.size());
        return result;
    }
    if (o.subcommand == u"read") {
        // JSON is printed once every device has been read.
        if (o.json)
            result.fields = fieldsObject(device.state());
        else
            printFields(device.state(), out);
        result.ok = true;
        result.text = QStringLiteral("read");
        return result;
    }

    SystemPanel panel = device.state().panel;
    if (o.subcommand == u"image" && o.operands.value(0) == u"save") {
        if (const auto refused = saveImage(o, panel, job.imagePath)) {
            result.text = *refused;
            err << QStringLiteral("kalmo-cli: %1: %2\n").arg(result.name, result.text);
            return result;
        }
        result.ok = true;
        result.text = kImageSavedText + QStringLiteral(": ") + job.imagePath;
        out << result.text << u'\n';
        return result;
    }

    // write, image load: the image's values and the named fields on top of
    // what was just read, checked whole.
    for (const ImageItem &item : job.imageItems)
        if (const auto target = imageItemTarget(item.key)) {
            const QString lookupLog = applyImageValue(panel, *target, item.value);
            if (!lookupLog.isEmpty())
                appendErrorLog(QStringLiteral("lblNUM_Change(Form1)"), lookupLog,
                               ErrorLogFile::Aux);
        }
    const ExtraWrites extra = applyChanges(job.changes, device.state(), panel);
    const auto prepared = prepareSysParamWrite(panel, device.state().record);
    if (const auto *refusal = std::get_if<SysParamWriteRefusal>(&prepared)) {
        result.text = refusal->message.isEmpty()
                          ? kFormatErrorText + refusal->label + QStringLiteral(" (") +
                                refusal->description + u')'
                          : refusal->message;
        err << QStringLiteral("kalmo-cli: %1: nothing written: %2\n").arg(result.name, result.text);
        return result;
    }
    if (!device.write(std::get<SysParamWrite>(prepared), extra.mac, extra.gatewayAndMask))
        return failed(QStringLiteral("write"));
    result.ok = true;
    result.text = QStringLiteral("written");
    return result;
}

} // namespace

int runCli(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    Options o;
    try {
        o = parseOptions(arguments);
    } catch (const UsageError &e) {
        err << QStringLiteral("kalmo-cli: ") << e.text << QStringLiteral("\n\n") << kUsage;
        return kBadUsage;
    }
    if (o.help) {
        out << kUsage;
        return kSuccess;
    }
    const QStringList subcommands{QStringLiteral("list"),  QStringLiteral("read"),
                                  QStringLiteral("write"), QStringLiteral("clock"),
                                  QStringLiteral("image"), QStringLiteral("upgrade")};
    if (!subcommands.contains(o.subcommand)) {
        err << (o.subcommand.isEmpty()
                    ? QStringLiteral("kalmo-cli: no subcommand")
                    : QStringLiteral("kalmo-cli: unknown subcommand ") + o.subcommand)
            << QStringLiteral("\n\n") << kUsage;
        return kBadUsage;
    }
    if (o.subcommand == u"list") return listDevices(o, out, err);

    const auto usage = [&](const QString &text) {
        err << QStringLiteral("kalmo-cli: ") << text << u'\n';
        return int(kBadUsage);
    };
    const bool network = !o.devices.isEmpty() || o.all;
    if (!o.port.isEmpty() && network)
        return usage(QStringLiteral("--port and --device/--all cannot be used together"));
    if (o.port.isEmpty() && !network)
        return usage(QStringLiteral("name the device: --port NAME, --device A.B.C.D or --all"));
    for (const QString &device : o.devices)
        if (QHostAddress address;
            !address.setAddress(device) || address.protocol() != QAbstractSocket::IPv4Protocol)
            return usage(QStringLiteral("--device takes an IPv4 address, not \"%1\"").arg(device));
    if (o.json && o.subcommand != u"read") return usage(QStringLiteral("--json is for read"));
    if (o.subcommand == u"read" && (!o.sets.isEmpty() || !o.from.isEmpty()))
        return usage(QStringLiteral("read takes no --set or --from"));
    if (o.subcommand == u"clock" && !o.from.isEmpty())
        return usage(QStringLiteral("clock takes --set, not --from"));
    const bool image = o.subcommand == u"image";
    if (image && (o.operands.size() != 2 || (o.operands[0] != u"save" && o.operands[0] != u"load")))
        return usage(QStringLiteral("image takes save FILE or load FILE"));
    const bool upgrading = o.subcommand == u"upgrade";
    if (upgrading && o.operands.size() != 1) return usage(QStringLiteral("upgrade takes FILE"));
    if (upgrading && (!o.sets.isEmpty() || !o.from.isEmpty()))
        return usage(QStringLiteral("upgrade takes no --set or --from"));
    if (!image && !upgrading && !o.operands.isEmpty())
        return usage(QStringLiteral("unexpected argument ") + o.operands.first());
    const bool saving = image && o.operands[0] == u"save";
    if (saving && (!o.sets.isEmpty() || !o.from.isEmpty()))
        return usage(QStringLiteral("image save takes no --set or --from"));
    if (saving && (o.all || o.devices.size() > 1))
        return usage(QStringLiteral("image save takes one device"));

    // Everything asked for is checked before anything is sent.
    Job job;
    if (o.subcommand == u"write" || (image && !saving)) {
        const auto collected = collectChanges(o, err);
        if (!collected) return kBadUsage;
        if (collected->isEmpty() && !image)
            return usage(QStringLiteral("write needs --set or --from"));
        job.changes = *collected;
    } else if (o.subcommand == u"clock") {
        job.clock = clockToSet(o, err);
        if (!job.clock) return kBadUsage;
    }
    if (image && !saving) {
        const auto items = readImage(o.operands[1], err);
        if (!items) return kBadUsage;
        job.imageItems = *items;
    }
    if (upgrading) {
        const auto packets = readFirmware(o, o.operands[0], out, err);
        if (!packets) return kBadUsage;
        job.packets = *packets;
    }
    if (saving) {
        job.imagePath = imageSavePath(o.operands[1]);
        if (QFileInfo::exists(job.imagePath) && !o.yes)
            return usage(job.imagePath + QStringLiteral(": 文件已存在 (--yes overwrites it)"));
    }

    QList<DeviceAddress> addresses;
    if (!o.port.isEmpty()) {
        addresses.append({Link::Serial, o.port, {}});
    } else {
        QStringList devices = o.devices;
        if (o.all) {
            const auto heard = listen(o.discoveryPort, o.listenMs, err);
            if (!heard) return kDeviceFailed;
            for (const Heard &h : *heard)
                if (!devices.contains(h.address)) devices << h.address;
            if (devices.isEmpty()) {
                err << "kalmo-cli: no device announced itself\n";
                return kDeviceFailed;
            }
        }
        for (const QString &device : devices)
            addresses.append({Link::Network, {}, device});
    }

    QList<DeviceResult> results;
    for (const DeviceAddress &address : addresses) {
        if (addresses.size() > 1 && !o.json)
            out << QStringLiteral("== %1\n").arg(address.port + address.address);
        results.append(runOnDevice(o, address, job, out, err));
    }
    // One device: its fields; several: an object of them by device.
    if (o.json) {
        QJsonObject all;
        for (const DeviceResult &r : results)
            if (r.ok) all.insert(r.name, r.fields);
        const QJsonObject shown = results.size() == 1 ? results.first().fields : all;
        if (results.size() > 1 || results.first().ok)
            out << QString::fromUtf8(QJsonDocument(shown).toJson(QJsonDocument::Indented));
    }

    const bool allOk =
        std::all_of(results.begin(), results.end(), [](const DeviceResult &r) { return r.ok; });
    if (results.size() > 1) {
        // Beside JSON on stdout, the summary goes to stderr.
        QTextStream &summary = o.json ? err : out;
        summary << QStringLiteral("\n%1  %2  %3\n")
                       .arg(QStringLiteral("DEVICE"), -15)
                       .arg(QStringLiteral("RESULT"), -6)
                       .arg(QStringLiteral("DETAIL"));
        for (const DeviceResult &r : results)
            summary << QStringLiteral("%1  %2  %3\n")
                           .arg(r.name, -15)
                           .arg(r.ok ? QStringLiteral("ok") : QStringLiteral("FAILED"), -6)
                           .arg(r.text);
    }
    return allOk ? kSuccess : kDeviceFailed;
}

} // namespace kalmo::cli
