#include "Autosave.h"

#include "KeP.h"
#include "NativeChartWriter.h"

#include <QDir>
#include <QPointer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace tavix {

namespace {

constexpr int WriterNice = 10;

// Writes the chart, then the side file that names what it belongs to and the chart's
// digest as it landed on the disk.
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
    RecoveryInfo noted = info;
    noted.chartDigest = RecoverySet::digestOf(set.chartPath());
    if (noted.chartDigest.isEmpty()) {
        error = QStringLiteral("the chart just written cannot be read back");
        return false;
    }
    return set.writeInfo(noted, &error);
}

} // namespace

Autosave::Autosave(const KeP& kep, const QString& dir, std::function<RecoveryInfo()> info,
                   int intervalMs)
    : m_kep(kep), m_info(std::move(info)), m_write(writeSet), m_set(dir, RecoverySet::newId()),
      m_intervalMs(intervalMs)
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
    // A try again after a failure keeps its own time.
    if (!m_timer.isActive() && !m_busy)
        m_timer.start(m_intervalMs);
}

void Autosave::discard()
{
    m_timer.stop();
    m_dirty = false;
    m_again = false;
    m_failures = 0;
    setError({});
    if (!m_busy) {
        m_set.remove();
        m_set.unlock();
        return;
    }
    // A write is going on: the files go after it, on the worker, so the window never waits
    // for the disk; the lock goes once they have.
    m_letGo = m_serial;
    const quint64 serial = m_serial;
    QPointer<Autosave> self(this);
    const RecoverySet& set = m_set;
    m_writer.start([self, &set, serial] {
        set.remove();
        QMetaObject::invokeMethod(
            self.data(),
            [self, serial] {
                if (self)
                    self->removedAfter(serial);
            },
            Qt::QueuedConnection);
    });
}

void Autosave::removedAfter(quint64 serial)
{
    // Unless a copy has been taken since, which holds the lock for its own files.
    if (serial == m_serial && !m_busy && !m_dirty)
        m_set.unlock();
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
    // Without the lock another editor could take the set for one left behind.
    QString refused;
    if (!m_set.lock(&refused)) {
        ++m_writes;
        report(false, refused);
        return;
    }
    m_dirty = false;
    // The copy is taken here, on the window's thread, between two of its events; the
    // worker writes it while the window goes on.
    auto grid = std::make_shared<const std::vector<uint8_t>>(m_kep.KeyGrid.bytes());
    RecoveryInfo info = m_info ? m_info() : RecoveryInfo{};
    info.savedAt = QDateTime::currentDateTimeUtc();
    m_busy = true;
    const quint64 serial = ++m_serial;
    QPointer<Autosave> self(this);
    const RecoverySet& set = m_set; // only read while the write runs
    m_writer.start([self, &set, write = m_write, grid, info, serial] {
        // The disk can wait; the window's frames cannot. A lower share of the processor
        // for this thread, never none, so a busy machine still gets its recovery file.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), WriterNice);
        QString error;
        const bool ok = write(set, *grid, info, error);
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
    if (serial == m_letGo) {
        // Discarded while it ran: what it wrote is gone again, whatever came of it.
        if (m_dirty && !m_timer.isActive())
            m_timer.start(m_intervalMs);
        return;
    }
    report(ok, error);
}

void Autosave::report(bool ok, const QString& error)
{
    if (!ok) {
        // The changes are kept nowhere yet.
        m_dirty = true;
        m_again = false;
        ++m_failures;
        if (error != m_lastError)
            std::fprintf(stderr, "tavix-editor: the recovery file %s cannot be written: %s\n",
                         qPrintable(QDir::toNativeSeparators(m_set.chartPath())),
                         qPrintable(error));
        setError(error.isEmpty() ? QStringLiteral("unknown error") : error);
        emit written(false);
        m_timer.start(retryDelayMs());
        return;
    }
    m_failures = 0;
    setError({});
    emit written(true);
    if (m_again && m_dirty) {
        m_again = false;
        startWrite();
    } else if (m_dirty && !m_timer.isActive()) {
        m_timer.start(m_intervalMs);
    }
}

void Autosave::setError(const QString& error)
{
    const bool was = failing();
    m_lastError = error;
    if (was != failing())
        emit failingChanged(failing());
}

int Autosave::retryDelayMs() const
{
    const int first = std::max(1, std::min(m_intervalMs, FirstRetryMs));
    const int doublings = std::clamp(m_failures - 1, 0, 20);
    return int(std::min<int64_t>(int64_t(first) << doublings, LongestRetryMs));
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
    ++m_serial; // what the worker still reports back is older than this copy
    ++m_writes;
    QString error;
    if (!m_set.lock(&error)) {
        report(false, error);
        return false;
    }
    RecoveryInfo info = m_info ? m_info() : RecoveryInfo{};
    info.savedAt = QDateTime::currentDateTimeUtc();
    m_dirty = false;
    m_again = false;
    const bool ok = m_write(m_set, m_kep.KeyGrid.bytes(), info, error);
    report(ok, error);
    return ok;
}

} // namespace tavix
