#include "Autosave.h"

#include "KeP.h"
#include "NativeChartWriter.h"

#include <QDir>
#include <QPointer>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace tavix {

namespace {

constexpr int WriterNice = 10;

// Writes the chart, then the side file that names what it belongs to.
bool writeSet(const RecoverySet& set, const std::vector<uint8_t>& grid, const RecoveryInfo& info,
              QString& error)
{
    if (!QDir().mkpath(set.dir())) {
        error = QStringLiteral("cannot make the folder %1").arg(set.dir());
        return false;
    }
    const ChartResult result = NativeChartWriter::writeGrid(grid, set.chartPath());
    if (!result.ok()) {
        error = result.reason;
        return false;
    }
    return set.writeInfo(info, &error);
}

} // namespace

Autosave::Autosave(const KeP& kep, const QString& dir, std::function<RecoveryInfo()> info,
                   int intervalMs)
    : m_kep(kep), m_info(std::move(info)), m_set(dir, RecoverySet::newId())
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { timeUp(); });
    m_writer.setMaxThreadCount(1);
}

Autosave::~Autosave()
{
    m_timer.stop();
    m_writer.waitForDone();
}

void Autosave::chartChanged(bool modified)
{
    if (!modified) {
        discard();
        return;
    }
    m_dirty = true;
    if (!m_timer.isActive() && !m_busy)
        m_timer.start();
}

void Autosave::discard()
{
    m_timer.stop();
    m_dirty = false;
    m_again = false;
    waitForWriter();
    m_set.remove();
}

void Autosave::timeUp()
{
    if (!m_dirty)
        return;
    if (m_busy) {
        m_again = true;
        return;
    }
    startWrite();
}

void Autosave::startWrite()
{
    m_dirty = false;
    m_set.lock();
    // The copy is taken here, on the window's thread, between two of its events; the
    // worker writes it while the window goes on.
    auto grid = std::make_shared<const std::vector<uint8_t>>(m_kep.KeyGrid.bytes());
    RecoveryInfo info = m_info ? m_info() : RecoveryInfo{};
    info.savedAt = QDateTime::currentDateTimeUtc();
    m_busy = true;
    const quint64 serial = ++m_serial;
    QPointer<Autosave> self(this);
    const RecoverySet& set = m_set; // only read while the write runs
    m_writer.start([self, &set, grid, info, serial] {
        // The disk can wait; the window's frames cannot. A lower share of the processor
        // for this thread, never none, so a busy machine still gets its recovery file.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), WriterNice);
        QString error;
        const bool ok = writeSet(set, *grid, info, error);
        QMetaObject::invokeMethod(
            self.data(),
            [self, serial, ok, error] {
                if (self)
                    self->finished(serial, ok, error);
            },
            Qt::QueuedConnection);
    });
}

void Autosave::finished(quint64 serial, bool ok, const QString& error)
{
    if (!m_busy || serial != m_serial)
        return; // a write already waited for and accounted
    m_busy = false;
    ++m_writes;
    if (!ok && error != m_lastError)
        std::fprintf(stderr, "tavix-editor: the recovery file %s cannot be written: %s\n",
                     qPrintable(QDir::toNativeSeparators(m_set.chartPath())), qPrintable(error));
    m_lastError = ok ? QString() : error;
    emit written(ok);
    if (m_again && m_dirty) {
        m_again = false;
        startWrite();
    } else if (m_dirty && !m_timer.isActive()) {
        m_timer.start();
    }
}

void Autosave::waitForWriter()
{
    m_writer.waitForDone();
    // The queued report of that write may still be on its way; it finds nothing to do.
    if (m_busy) {
        m_busy = false;
        ++m_writes;
    }
}

bool Autosave::writeNow()
{
    m_timer.stop();
    waitForWriter();
    m_set.lock();
    RecoveryInfo info = m_info ? m_info() : RecoveryInfo{};
    info.savedAt = QDateTime::currentDateTimeUtc();
    QString error;
    const bool ok = writeSet(m_set, m_kep.KeyGrid.bytes(), info, error);
    m_dirty = !ok;
    m_again = false;
    ++m_writes;
    m_lastError = ok ? QString() : error;
    emit written(ok);
    return ok;
}

} // namespace tavix
