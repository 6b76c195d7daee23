// Loaded into a program with LD_PRELOAD by bench_startup: notes when the
// program's first top-level window has been painted and how much memory the
// process holds then and a while later, writes it to the file named by
// KALMO_PROBE_OUT and ends the process. The program itself is unchanged.
//
//   paint_ns  CLOCK_MONOTONIC when the first paint of a top-level window was done
//   rss_paint_kb, rss_settled_kb  VmRSS then and KALMO_PROBE_SETTLE_MS later
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <time.h>
#include <unistd.h>

namespace {

qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

class PaintProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_painted || event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        const auto *widget = static_cast<QWidget *>(watched);
        if (!widget->isWindow() || widget->windowType() == Qt::ToolTip ||
            widget->windowType() == Qt::Popup)
            return false;
        m_painted = true;
        // The window and its children are painted and flushed before the
        // event loop comes back to a zero timer.
        QTimer::singleShot(0, this, [this] {
            m_paintNs = monotonicNs();
            m_rssAtPaintKb = residentKb();
            QTimer::singleShot(qEnvironmentVariableIntValue("KALMO_PROBE_SETTLE_MS"), this,
                               [this] { report(); });
        });
        return false;
    }

private:
    void report()
    {
        QFile out(qEnvironmentVariable("KALMO_PROBE_OUT"));
        if (out.open(QIODevice::WriteOnly)) {
            out.write(QByteArray("paint_ns ") + QByteArray::number(m_paintNs) + "\nrss_paint_kb " +
                      QByteArray::number(m_rssAtPaintKb) + "\nrss_settled_kb " +
                      QByteArray::number(residentKb()) + "\n");
            out.close();
        }
        ::_exit(0);
    }

    bool m_painted = false;
    qint64 m_paintNs = 0;
    qint64 m_rssAtPaintKb = 0;
};

void installProbe()
{
    if (qEnvironmentVariableIsEmpty("KALMO_PROBE_OUT")) return;
    QCoreApplication::instance()->installEventFilter(new PaintProbe);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
