#include "TestPlayWiring.h"

#include "ChartingStrip.h"
#include "KE.h"
#include "KeyboardCharting.h"
#include "MessageService.h"
#include "OffsetShift.h"
#include "TestPlayResultsDialog.h"
#include "TestPlayRun.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace tavix {

namespace {

const QString WindowsKey = QStringLiteral("testPlay/windowsMs");
const QString ChartSoundsKey = QStringLiteral("testPlay/chartSounds");
const QString StayKey = QStringLiteral("testPlay/stayWhereStopped");

std::unique_ptr<QSettings> settingsOf(const KE& window)
{
    return window.services().settings ? window.services().settings() : nullptr;
}

} // namespace

TestPlayWiring::TestPlayWiring(KE& window, ChartingStrip& strip) : m_window(window), m_strip(strip)
{
    if (const auto settings = settingsOf(window)) {
        const QStringList ms = settings->value(WindowsKey).toStringList();
        if (ms.size() == 4) {
            const JudgeWindows w{ms[0].toDouble(), ms[1].toDouble(), ms[2].toDouble(),
                                 ms[3].toDouble()};
            if (w.valid())
                m_windows = w;
        }
        m_strip.chartSounds.setChecked(settings->value(ChartSoundsKey, false).toBool());
        m_stayWhereStopped = settings->value(StayKey, false).toBool();
    }
    connect(&m_strip.testPlay, &QPushButton::clicked, this, [this] { toggle(); });
    connect(&m_strip.chartSounds, &QCheckBox::toggled, this, [this](bool on) {
        if (const auto settings = settingsOf(m_window))
            settings->setValue(ChartSoundsKey, on);
    });
}

TestPlayWiring::~TestPlayWiring() = default;

const KeyMarks* TestPlayWiring::marks() const
{
    return m_run || (m_results && m_results->isVisible()) ? &m_marks : nullptr;
}

TestPlayResultsDialog* TestPlayWiring::results() const
{
    return m_results.data();
}

void TestPlayWiring::toggle()
{
    if (m_run) {
        m_window.StopPlayback();
        return;
    }
    start();
}

void TestPlayWiring::start()
{
    PlaybackSession& session = m_window.m_session;
    if (session.playing() || session.music() == 0)
        return;
    if (session.decodeProgress() < 1.0) {
        // A length still to be learned could resize the chart under the run.
        m_window.m_services.messages.information(
            &m_window, tr("Test play"), tr("The song is still being read. Try again in a moment."));
        return;
    }
    m_window.disarmAutoSpace();
    const auto cell = int32_t(m_window.charting().cursorKeys().cursorCell());
    m_startCursorMs = session.cursorMs();
    m_startView = m_window.TimeSet().value();
    m_marks.clear();
    m_run = std::make_unique<TestPlayRun>(m_window.kep(), session.timing(), cell, m_windows);
    m_run->onJudged = [this](const JudgeEvent& e) { judged(e); };
    // The run ends inside the session's stop or end; the window looks back once it is out.
    m_run->onEnded = [this] { QTimer::singleShot(0, this, [this] { finish(); }); };
    m_strip.judged.setText(tr("Count-in\u2026"));
    if (!session.startTestPlay(*m_run, cell, m_strip.chartSounds.isChecked())) {
        m_run.reset();
        m_strip.judged.clear();
    }
}

void TestPlayWiring::judged(const JudgeEvent& event)
{
    if (event.judgement) {
        using Kind = KeyMark::Kind;
        const Judgement j = *event.judgement;
        const Kind kind = j == Judgement::Miss      ? Kind::Missed
                          : j == Judgement::Perfect ? Kind::OnTime
                          : event.errorMs < 0       ? Kind::Early
                                                    : Kind::Late;
        const auto index = int32_t(KeP::flatIndex(event.cell, event.row));
        const auto at = std::lower_bound(m_marks.begin(), m_marks.end(), index,
                                         [](const KeyMark& m, int32_t i) { return m.index < i; });
        if (at != m_marks.end() && at->index == index)
            at->kind = kind;
        else
            m_marks.insert(at, KeyMark{index, kind});
    }
    const RunTally& t = m_run->tally();
    QString last;
    if (!event.judgement)
        last = tr("extra press");
    else if (*event.judgement == Judgement::Miss)
        last = judgementName(Judgement::Miss);
    else
        last = tr("%1 %2%3 ms")
                   .arg(judgementName(*event.judgement))
                   .arg(event.errorMs >= 0 ? QStringLiteral("+") : QString())
                   .arg(event.errorMs, 0, 'f', 0);
    m_strip.judged.setText(tr("%1%  combo %2  \u2014 %3")
                               .arg(t.accuracyPercent(), 0, 'f', 1)
                               .arg(t.combo())
                               .arg(last));
}

void TestPlayWiring::finish()
{
    if (!m_run)
        return;
    m_last = std::move(m_run);
    const RunTally& t = m_last->tally();
    m_strip.judged.setText(tr("Last test play: %1%, longest combo %2")
                               .arg(t.accuracyPercent(), 0, 'f', 1)
                               .arg(t.longestCombo()));
    // Back to where the run started, unless the user keeps the place it stopped at.
    if (m_stayWhereStopped) {
        m_window.moveCursorTo(m_window.m_session.playMs());
    } else {
        m_window.moveCursorTo(m_startCursorMs);
        m_window.TimeSet().setValue(m_startView);
    }
    TestPlayResultsDialog::Actions actions;
    actions.showMeasure = [this](int32_t measure) {
        m_window.charting().cursorKeys().placeCursor(int64_t(measure - 1) * 16);
    };
    actions.shiftOffset = [this] { shiftOffset(); };
    actions.windowsChanged = [this](const JudgeWindows& w) { setWindows(w); };
    actions.stayWhereStopped = m_stayWhereStopped;
    actions.stayWhereStoppedChanged = [this](bool on) {
        m_stayWhereStopped = on;
        if (const auto settings = settingsOf(m_window))
            settings->setValue(StayKey, on);
    };
    if (m_results)
        m_results->deleteLater();
    m_results =
        new TestPlayResultsDialog(m_last->tally(), m_windows, std::move(actions), &m_window);
    m_results->setAttribute(Qt::WA_DeleteOnClose);
    // The marks go with the results.
    connect(m_results, &QDialog::finished, this, [this] { m_window.scheduleFrame(); });
    m_results->open();
}

void TestPlayWiring::shiftOffset()
{
    if (!m_last || m_window.m_session.moving())
        return;
    const auto text = shiftedOffsetText(m_window.m_session.offsetVal(), m_window.kep().BeatRate,
                                        m_last->tally().meanErrorMs());
    if (text)
        m_window.m_fields.commitNotedOffset(*text);
}

void TestPlayWiring::setWindows(const JudgeWindows& windows)
{
    m_windows = windows;
    if (const auto settings = settingsOf(m_window))
        settings->setValue(WindowsKey, QStringList{QString::number(windows.perfectMs),
                                                   QString::number(windows.greatMs),
                                                   QString::number(windows.goodMs),
                                                   QString::number(windows.badMs)});
}

} // namespace tavix
