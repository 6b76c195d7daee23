#include "features/dialogs/can/can_feature.h"

#include "core/error_log.h"
#include "protocol/can_block.h"
#include "protocol/command_codes.h"
#include "protocol/frames.h"

#include <QApplication>

namespace kalmo {

namespace {

constexpr char kCanReadLabel[] = "CanRead(Form1)";
const QColor kCheckFailedColor(255, 0, 0);
const QColor kCheckPassedColor(0, 255, 0);

} // namespace

CanFeature::CanFeature(const FeatureContext &context, QWidget *owner, QObject *parent)
    : Feature(context, parent), m_dialog(owner, [this](CanSetDialog &d) {
          connect(d.CanDetect, &QPushButton::clicked, this, &CanFeature::CanDetect_Click);
          connect(d.CanRead, &QPushButton::clicked, this, &CanFeature::CanRead_Click);
          connect(d.CanWrite, &QPushButton::clicked, this, &CanFeature::CanWrite_Click);
          enableButtons();
      })
{
    Session &s = session();
    const auto nothingToFill = [](BuildContext &) { return BuildOutcome::built(); };
    s.registerBuilder(Builder::CanDetect, Session::onlyOn(Link::Serial, nothingToFill));
    s.registerBuilder(Builder::CanRead, Session::onlyOn(Link::Serial, nothingToFill));
    s.registerBuilder(
        Builder::CanWrite, Session::onlyOn(Link::Serial, [this](BuildContext &c) {
            // A list with no selection gives 0.
            const auto index = [](const QComboBox *list) {
                return quint8(qMax(0, list->currentIndex()));
            };
            const CanSettings settings{index(m_dialog.get().CanBaud), index(m_dialog.get().CanMS)};
            c.frame.replace(3, kCanBlockLength, encodeCanSettings(settings));
            return BuildOutcome::built();
        }));
    s.handle(SerialReplyAction::CanSettings, [this](const Reply &r) { showSettings(r); });
    s.handle(SerialReplyAction::CanCheck, [this](const Reply &r) { showCheck(r); });
}

void CanFeature::Command2_Click()
{
    m_dialog.show();
}

void CanFeature::enableButtons()
{
    const CanSetDialog *dialog = m_dialog.made();
    if (!dialog) return;
    const bool serial = window().chosenLink() == Link::Serial;
    for (QPushButton *button : {dialog->CanDetect, dialog->CanRead, dialog->CanWrite})
        button->setEnabled(serial);
}

void CanFeature::onConnection(ConnectionEvent)
{
    enableButtons();
}

void CanFeature::push(qint16 code)
{
    if (window().chosenLink() != Link::Serial) return;
    session().dispatcher().stack().push(code);
}

void CanFeature::CanDetect_Click()
{
    push(serial_cmd::CanDetect);
}

void CanFeature::CanRead_Click()
{
    push(serial_cmd::ReadCan);
}

void CanFeature::CanWrite_Click()
{
    if (window().chosenLink() != Link::Serial) return;
    const CanSetDialog &dialog = m_dialog.get();
    if (dialog.CanBaud->currentIndex() < 0 || dialog.CanMS->currentIndex() < 0) {
        window().showBox(
            {QMessageBox::NoIcon, QApplication::applicationDisplayName(), kReadFirstText});
        return;
    }
    push(serial_cmd::WriteCan);
}

// A reply for a window not made yet makes it, hidden: it shows what was read
// once opened.
void CanFeature::showSettings(const Reply &reply)
{
    const QByteArray data = QByteArray{} + char(reply.data(0)) + char(reply.data(1));
    QString field;
    const std::optional<CanSettings> settings = decodeCanSettings(data, &field);
    if (!settings) {
        // Out of its list: the lists keep what they show.
        appendErrorLog(QString::fromUtf8(kCanReadLabel), overflowText());
        window().setStatus(kFormatErrorText + field);
        return;
    }
    CanSetDialog &dialog = m_dialog.get();
    dialog.CanBaud->setCurrentIndex(settings->baudIndex);
    dialog.CanMS->setCurrentIndex(settings->roleIndex);
}

void CanFeature::showCheck(const Reply &reply)
{
    CanSetDialog &dialog = m_dialog.get();
    dialog.shpFlashCan->setColor(canCheckPassed(reply.data(0)) ? kCheckPassedColor
                                                               : kCheckFailedColor);
}

} // namespace kalmo
