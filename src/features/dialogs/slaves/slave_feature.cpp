#include "features/dialogs/slaves/slave_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/device_catalogue.h"
#include "protocol/sys_param_block.h"

#include <QPalette>

#include <algorithm>
#include <tuple>
#include <vector>

namespace kalmo {

namespace {

constexpr char kDistributeLabel[] = "DistributeSlaveInfo(Form1)";
constexpr char kWriteLabel[] = "WriteSlaveInfo(Form1)";

// The first slave asked for on each link: serial item count 0, network 256
// (the low byte is the slave number).
constexpr qint32 kSerialFirstSlave = 0;
constexpr qint32 kNetworkFirstSlave = 256;

const QColor kPendingColour(0, 255, 0);

int listPosition(quint16 typeCode)
{
    for (const SlaveTypeInfo &type : slaveTypes())
        if (type.code == typeCode) return type.listPosition;
    return -1;
}

QString rowName(int row)
{
    return QStringLiteral("%1号从设备").arg(row);
}

struct SlaveCodes
{
    qint16 read;
    qint16 write;
};

SlaveCodes slaveCodes(Link link)
{
    if (link == Link::Serial) return {serial_cmd::ReadSlave, serial_cmd::WriteSlave};
    return {network_cmd::ReadSlave, network_cmd::WriteSlave};
}

} // namespace

SlaveFeature::SlaveFeature(const FeatureContext &context, QWidget *owner, QPointer<QWidget> &form,
                           QObject *parent)
    : Feature(context, parent), m_owner(owner), m_form(form),
      m_dialog(nullptr, [this](SlaveInfoDialog &d) {
          m_form = &d;
          connect(d.Command1, &QPushButton::clicked, this, &SlaveFeature::Command1_Click);
          connect(d.Command2, &QPushButton::clicked, this, &SlaveFeature::Command2_Click);
          connect(d.CheckTimer, &QTimer::timeout, this, &SlaveFeature::CheckTimer_Timer);
          d.closing = [this] { exitAction(false); };
          for (int k = 0; k < kSlaveCount; ++k) {
              const SlaveInfoRow &row = d.rows[std::size_t(k)];
              const auto edited = [this, k] { rowEdited(k); };
              for (QLineEdit *box : {row.txtAddr, row.txtScanTime, row.txtScanNo})
                  connect(box, &QLineEdit::textChanged, this, edited);
              for (QComboBox *list : {row.ComboSlave, row.ComboCommType})
                  connect(list, &QComboBox::currentIndexChanged, this, edited);
          }
          emptyRows();
          d.Command1->setEnabled(false);
      })
{
    Session &s = session();
    // The serial read is the row's frame with the slave number the dispatcher
    // puts in; there is nothing to add.
    s.registerBuilder(Builder::SlaveRead, [](BuildContext &) { return BuildOutcome::built(); });
    s.registerBuilder(Builder::SlaveWrite, [this](BuildContext &c) { return WriteSlaveInfo(c); });
    s.handle(SerialReplyAction::SlaveInfo, [this](const Reply &r) { DistributeSlaveInfo(r); });
    s.handle(NetworkReplyAction::SlaveInfo, [this](const Reply &r) { DistributeSlaveInfo(r); });
    s.slavePendingHook = [this] {
        std::array<bool, kSlaveRows> flags{};
        std::copy(m_pending.begin(), m_pending.end(), flags.begin());
        return flags;
    };
    s.slaveDialogHook = [this] {
        if (SlaveInfoDialog *d = dialog()) {
            d->setEnabled(true);
            d->Command1->setEnabled(anyPending());
        }
    };
}

SlaveFeature::~SlaveFeature()
{
    // The window has no parent to take it along.
    delete m_dialog.made();
}

void SlaveFeature::btSlaveShow_Click()
{
    const Link link = window().chosenLink();
    if (link == Link::None) return;
    CommandStack &stack = session().dispatcher().stack();
    if (stack.held()) return;
    session().dispatcher().sendState().itemCount =
        link == Link::Serial ? kSerialFirstSlave : kNetworkFirstSlave;
    for (int k = 0; k < kSlaveCount; ++k)
        stack.push(slaveCodes(link).read);

    SlaveInfoDialog &d = m_dialog.get();
    emptyRows();
    m_arrived.reset();
    m_reading = true;
    m_dialog.show();
    d.CheckTimer->setInterval(kSlaveReplyWaitMs);
    d.CheckTimer->start();
    d.setEnabled(false);
    d.Command1->setEnabled(false);
    mainWindow()->setEnabled(false);
}

// Each record goes to the row its slave number names, whatever the order
// the replies come in.
void SlaveFeature::DistributeSlaveInfo(const Reply &reply)
{
    SlaveInfoDialog *d = dialog();
    if (!m_reading || !d) return; // a late reply after the window gave up
    const qsizetype offset = qMin(reply.profile.dataOffset, reply.bytes.size());
    const std::optional<SlaveRecord> record =
        decodeSlaveRecord(QByteArrayView(reply.bytes).sliced(offset));
    if (!record || record->number >= kSlaveCount) {
        appendErrorLog(QString::fromUtf8(kDistributeLabel), subscriptOutOfRangeText());
        return;
    }
    fillRow(record->number, *record);
    m_arrived.set(record->number);
    if (!m_arrived.all()) {
        d->CheckTimer->start(kSlaveReplyWaitMs);
        return;
    }
    m_reading = false;
    d->CheckTimer->stop();
    d->CheckTimer->setInterval(0);
    d->setEnabled(true);
    mainWindow()->setEnabled(true);
}

void SlaveFeature::fillRow(int k, const SlaveRecord &record)
{
    const SlaveInfoRow &row = m_dialog.get().rows[std::size_t(k)];
    m_filling = true;
    row.txtAddr->setText(QString::number(record.address));
    const bool knownFormat = record.format >= 1 && record.format <= slaveFormatNames().size();
    row.ComboCommType->setCurrentIndex(knownFormat ? record.format - 1 : -1);
    // A type the list does not hold is shown by its name, an unknown code as
    // "错误！"; with nothing selected the write keeps the code.
    const int position = listPosition(record.typeCode);
    row.ComboSlave->setCurrentIndex(position);
    row.ComboSlave->setPlaceholderText(
        position >= 0 ? QString() : slaveTypeName(record.typeCode).value_or(kSlaveTypeErrorText));
    row.txtScanTime->setText(QString::number(record.scanPeriod));
    row.txtScanNo->setText(QString::number(record.scanFunction));
    row.setUsable(true);
    m_filling = false;
    m_records[std::size_t(k)] = record;
    if (!knownFormat)
        appendErrorLog(QString::fromUtf8(kDistributeLabel), subscriptOutOfRangeText());
}

void SlaveFeature::emptyRows()
{
    SlaveInfoDialog *d = dialog();
    if (!d) return;
    m_filling = true;
    for (int k = 0; k < kSlaveCount; ++k) {
        const SlaveInfoRow &row = d->rows[std::size_t(k)];
        for (QLineEdit *box : {row.txtAddr, row.txtScanTime, row.txtScanNo})
            box->clear();
        for (QComboBox *list : {row.ComboSlave, row.ComboCommType}) {
            list->setCurrentIndex(-1);
            list->setPlaceholderText(QString());
        }
        row.setUsable(false);
        setPending(k, false);
        m_records[std::size_t(k)].reset();
    }
    m_filling = false;
}

void SlaveFeature::rowEdited(int k)
{
    if (m_filling) return;
    setPending(k, true);
    m_dialog.get().Command1->setEnabled(true);
}

void SlaveFeature::setPending(int k, bool pending)
{
    m_pending[std::size_t(k)] = pending;
    QLabel *label = m_dialog.get().rows[std::size_t(k)].Label6;
    if (pending) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, kPendingColour);
        label->setPalette(palette);
    } else {
        label->setPalette(QPalette());
    }
}

bool SlaveFeature::anyPending() const
{
    return std::any_of(m_pending.begin(), m_pending.end(), [](bool p) { return p; });
}

void SlaveFeature::Command1_Click()
{
    const Link link = window().chosenLink();
    if (link == Link::None || !anyPending()) return;
    CommandStack &stack = session().dispatcher().stack();
    // One queued write serves every pending row: the dispatcher runs it again
    // while a row is pending.
    for (int i = 1; i <= stack.top(); ++i)
        if (stack.entry(i) == slaveCodes(link).write) return;
    SlaveInfoDialog &d = m_dialog.get();
    d.setEnabled(false);
    d.Command1->setEnabled(false);
    stack.push(slaveCodes(link).write);
}

BuildOutcome SlaveFeature::WriteSlaveInfo(BuildContext &context)
{
    const auto first = std::find(m_pending.begin(), m_pending.end(), true);
    SlaveInfoDialog *d = dialog();
    if (first == m_pending.end() || !d) return BuildOutcome::notAvailable();
    const int k = int(first - m_pending.begin());
    const SlaveInfoRow &row = d->rows[std::size_t(k)];

    SlaveRecord record = m_records[std::size_t(k)].value_or(SlaveRecord{});
    record.number = quint8(k);
    record.writeMarker = 1;
    for (auto [box, label, highest] :
         {std::tuple{row.txtAddr, QStringLiteral("设备地址"), 0xFF},
          std::tuple{row.txtScanTime, QStringLiteral("扫描周期"), 0xFFFF},
          std::tuple{row.txtScanNo, QStringLiteral("扫描功能号"), 0xFF}}) {
        const std::optional<qint64> number = panelInteger(box->text());
        if (!number || *number < 0 || *number > highest) {
            // The row stays pending, and the window usable to put it right.
            d->setEnabled(true);
            d->Command1->setEnabled(true);
            return BuildOutcome::formatError(rowName(k) + label, QString::fromUtf8(kWriteLabel),
                                             number ? overflowText() : typeMismatchText());
        }
    }
    record.address = quint8(panelInteger(row.txtAddr->text()).value());
    record.scanPeriod = quint16(panelInteger(row.txtScanTime->text()).value());
    record.scanFunction = quint8(panelInteger(row.txtScanNo->text()).value());
    if (row.ComboCommType->currentIndex() >= 0)
        record.format = quint8(row.ComboCommType->currentIndex() + 1);
    if (row.ComboSlave->currentIndex() >= 0)
        record.typeCode = slaveTypeCode(row.ComboSlave->currentText());

    const QByteArray bytes = encodeSlaveRecord(record);
    if (context.link == Link::Serial)
        context.frame.replace(3, bytes.size(), bytes);
    else
        context.send.writePayload = bytes;
    m_records[std::size_t(k)] = record;
    setPending(k, false);
    return BuildOutcome::built();
}

void SlaveFeature::CheckTimer_Timer()
{
    if (SlaveInfoDialog *d = dialog()) d->CheckTimer->stop();
    window().showBox({QMessageBox::NoIcon, kSlaveReadFailedTitle, kSlaveReadFailedText});
    exitAction(true);
}

void SlaveFeature::exitAction(bool showMainWindow)
{
    m_reading = false;
    dropQueuedSlaveCommands();
    if (SlaveInfoDialog *d = dialog()) {
        emptyRows();
        d->hide();
        d->CheckTimer->stop();
        d->CheckTimer->setInterval(0);
        d->setEnabled(true);
        d->Command1->setEnabled(false);
    }
    mainWindow()->setEnabled(true);
    if (showMainWindow) mainWindow()->show();
}

void SlaveFeature::dropQueuedSlaveCommands()
{
    const Link link = window().chosenLink();
    if (link == Link::None) return;
    CommandStack &stack = session().dispatcher().stack();
    const SlaveCodes codes = slaveCodes(link);
    std::vector<qint16> kept;
    for (int i = 1; i <= stack.top(); ++i)
        if (const qint16 code = stack.entry(i); code != codes.read && code != codes.write)
            kept.push_back(code);
    if (int(kept.size()) != stack.top()) stack.replacePending(kept);
}

} // namespace kalmo
