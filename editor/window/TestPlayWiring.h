#pragma once

#include "Judgement.h"
#include "KeyDisplayHost.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace tavix {

class KE;
class TestPlayResultsDialog;
class TestPlayRun;
struct ChartingStrip;
struct JudgeEvent;

// Test play wired to the window: Ctrl+P or the strip's button starts one from the edit
// cursor (and stops it again), the strip shows how it goes, and when it ends the cursor
// and the view go back to where it started and the results window opens. The windows are
// kept with the settings. Nothing of it changes the chart but an offset shift the user
// asks for, which is one step of the history.
class TestPlayWiring : public QObject
{
    Q_OBJECT
public:
    TestPlayWiring(KE& window, ChartingStrip& strip);
    ~TestPlayWiring() override;

    // Starts a test play, or stops the one running.
    void toggle();
    bool running() const { return m_run != nullptr; }
    const JudgeWindows& windows() const { return m_windows; }
    TestPlayResultsDialog* results() const;
    const TestPlayRun* lastRun() const { return m_last.get(); }
    // The keys judged, marked on the canvas while the run goes on and while its results
    // are open; null otherwise.
    const KeyMarks* marks() const;

private:
    void start();
    void judged(const JudgeEvent& event);
    void finish();
    void shiftOffset();
    void setWindows(const JudgeWindows& windows);

    KE& m_window;
    ChartingStrip& m_strip;
    JudgeWindows m_windows;
    bool m_stayWhereStopped = false;
    std::unique_ptr<TestPlayRun> m_run;
    std::unique_ptr<TestPlayRun> m_last;
    int32_t m_startCursorMs = 0;
    int32_t m_startView = 0;
    QPointer<TestPlayResultsDialog> m_results;
    KeyMarks m_marks;
};

} // namespace tavix
