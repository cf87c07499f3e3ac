#pragma once

#include "CanvasGestures.h"
#include "ChartDocument.h"
#include "ChartFileCommands.h"
#include "DialogStartFolder.h"
#include "EditorServices.h"
#include "EditorState.h"
#include "CanvasDisplay.h"
#include "FrameLoop.h"
#include "KeyCommands.h"
#include "KeyDisplayHost.h"
#include "PlaybackSession.h"
#include "RecoveryInfo.h"
#include "RecoveryWorkflow.h"
#include "TimingFields.h"
#include "ViewNavigator.h"
#include "WindowControls.h"
#include "WindowFacts.h"

#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

namespace tavix {

class Autosave;
class KeyInput;
class KeyboardShortcuts;
class LatencyDialog;
class TavixKey;
class TempoDialog;
class WaveformPeaks;

// The editor window: its controls, and the wiring of the editor's parts to them. The
// playback session plays the song and records, the commands change the chart through its
// document, the recovery keeps it; the window starts them, forwards its events and shows
// what they say. It runs its start-up when it is made and its shutdown when it is asked to
// close. Each group of wiring lives in a file of its own (KE*.cpp).
class KE : public QWidget,
           public KeyDisplayHost,
           private PlaybackSession::Observer,
           private ChartFileCommands::Host,
           private TimingFields::Host,
           private RecoveryWorkflow::Host
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = WindowControls::ClientWidth;
    static constexpr int ClientHeight = WindowControls::ClientHeight;
    static constexpr int OverviewTop = WindowControls::OverviewTop;

    KE(KeP& kep, EditorServices services, QWidget* parent = nullptr);
    ~KE() override;

    KeP& kep() { return m_kep; }
    const KeP& kep() const { return m_kep; }
    ChartHistory& history() { return m_document.history(); }
    // The recovery writer; none when the services name no folder for it.
    Autosave* autosave() { return m_autosave.get(); }
    const EditorState& state() const { return m_state; }
    SoundEngine& sound() { return m_services.sound; }
    const EditorServices& services() const { return m_services; }
    const PlaybackSession& session() const { return m_session; }
    // The drag on the canvas and the selection it leaves.
    CanvasGestures& gestures() { return m_gestures; }

    // What the key display reads and moves.
    const DragState& dragState() const override { return m_gestures.drag(); }
    void setTimeSetValue(int32_t value) override;

    // The controls, by their names.
    QLabel& BpmSet() { return c().BpmSet; }
    ClickLabel& sBpmB() { return c().sBpmB; }
    FieldEdit& sBpm() { return c().sBpm; }
    QLabel& OffSet() { return c().OffSet; }
    ClickLabel& slSetOff() { return c().slSetOff; }
    FieldEdit& sOff() { return c().sOff; }
    QLabel& mSet() { return c().mSet; }
    QLabel& MSeteD() { return c().MSeteD; }
    QLabel& Label1() { return c().Label1; }
    QLabel& scriptFile() { return c().scriptFile; }
    KeyCanvas& Picture1() { return *c().Picture1; }
    QScrollBar& TimeSet() { return c().TimeSet; }
    QLabel& cPosL() { return c().cPosL; }
    QLabel& cPos() { return c().cPos; }
    QLabel& NofBeat() { return c().NofBeat; }
    QLabel& cBeat() { return c().cBeat; }
    ClickLabel& Asp() { return c().Asp; }
    PictureButton& NeC1(int index) { return c().toolbar->button(index); }
    QLabel& iC(int index) { return c().toolbar->picture(index); }
    QProgressBar& decodeBar() { return c().decodeBar; }
    OverviewStrip& overview() { return *c().overview; }
    QLabel& listeningLabel() { return c().listening; }

    // The key display, made on first use, and the keyboard made at start-up.
    TavixKey& renderer() { return m_display.renderer(); }
    bool hasRenderer() const { return m_display.hasRenderer(); }
    KeyInput& keyboard() { return *m_Keyboard; }

    // --- Start-up and shutdown (KEStartup.cpp)
    // The close request: stops and releases every stream and the engine, then ends the
    // program through the quit callback. Runs once.
    void shutdown();

    // --- Toolbar (KE.cpp)
    void buttonMouseDown(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int);
    void buttonMouseUp(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int);
    void buttonClick(int index);

    // --- Music, playback and drawing (KEPlayback.cpp)
    void OpenMusic();
    // Opens a song without the dialog (the command line's song). False when it failed;
    // a message box then names the file and the reason, and nothing has changed.
    bool openMusicFile(const QString& path, const QString& title);
    void PlayPause();
    double LeadMs() const { return m_session.LeadMs(); }
    // One pass of the playback loop; the frame tick runs it while playing.
    void playbackPass() { m_session.pass(); }
    // Runs a redraw asked for and not yet done; true when there was one.
    bool runPendingFrame() { return m_frames.runPending(); }
    bool frameTickActive() const { return m_frames.ticking(); }

    // --- Latency calibration (KELatency.cpp): not while playing; the latency found is
    // kept in the settings and given to the engine.
    void calibrateLatency();
    LatencyDialog* latencyDialog() const;
    // --- The song under the chart: waveform, beat lines, overview, navigation (KEView.cpp)
    // The waveform and the beat lines on the canvas, on or off; the choice is remembered.
    void setGuidesShown(bool shown);
    bool guidesShown() const { return m_display.guidesShown(); }
    // Moves the time bar as a navigation key does; not while playing.
    void navigate(ViewNavigator::Step step);

    // --- Metronome and playback rate (KEListening.cpp); both choices are remembered.
    void toggleMetronome();
    // One step down or up through EditorState::PlaybackRates; the pitch is kept.
    void slowerPlayback();
    void fasterPlayback();
    void setPlaybackRate(int percent);

    // --- Tempo dialog (KETempo.cpp): detection, taps, and Apply, which commits the tempo
    // and offset texts through the boxes' own commits.
    void openTempoDialog();
    TempoDialog* tempoDialog() const;

    // --- Tempo, offset and auto space (KEFields.cpp)
    void tempoLabelDoubleClicked() { m_fields.openTempoBox(); }
    void commitTempo() { m_fields.commitTempo(); }
    void offsetLabelDoubleClicked() { m_fields.openOffsetBox(); }
    void commitOffset() { m_fields.commitOffset(); }
    void autoSpaceClicked();
    bool autoSpaceArmed() const;

    // --- Mouse editing, clipboard commands and random keys (KEEditing.cpp)
    void canvasMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    void canvasMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x,
                         float y);
    void canvasMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    // Puts the cursor at chart time `ms`, as a click outside the rows does.
    void moveCursorTo(int32_t ms);
    void copyKeys();
    void deleteKeys();
    void pasteKeys();
    void randomKeys();

    // --- Chart files (KEChartCommands.cpp)
    // True when the chart was saved.
    bool saveChartCommand();
    void openChartCommand();
    // Opens a chart file without the dialog (the command line's chart), exactly as the
    // open command does with the file it was given. False when it failed; a message box
    // then names the file and the reason, and nothing has changed.
    bool openChartFile(const QString& path, const QString& title);

    // --- History, unsaved changes and recovery (KEHistory.cpp)
    void undoEdit();
    void redoEdit();
    // The chart differs from the last save or open (keys recorded in the playback run
    // going on included).
    bool isModified() const { return m_document.isModified(); }
    // Offers the chart a previous editor left in the recovery folder when it ended
    // without closing; true when it was restored.
    bool offerRecovery();
    // A termination signal: the chart goes to the recovery file at once (when it has
    // unsaved changes) and the window shuts down without asking.
    void endOnSignal();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowControls& c() { return *m_controls; }
    const WindowControls& c() const { return *m_controls; }
    bool closing() const { return m_session.released(); }
    void connectControls();
    void startUp();
    void InitNeC1() { c().toolbar->recordHomes(); }
    void releaseStreams();

    // Playback and drawing (KEPlayback.cpp)
    void runChanged(PlaybackSession::RunChange change) override;
    void passDone(int32_t playMs, bool moving) override;
    void keyRecorded() override { chartChanged(); }
    void recordingTaken(ChartChange keys) override;
    void songLengthLearned(int32_t songLenMs) override;
    void StopPlayback();
    void LoopRender();
    void timeSetChanged();
    QString PosString(int64_t Pos) const;
    void showCounters(int32_t ms);
    void renderFrame(int32_t ms, int32_t curMs, bool GoP);
    // Asks for one redraw at the next turn of the event loop, when nothing else draws.
    void scheduleFrame();
    void drawIdleFrame();
    void updateDecodeProgress();
    void setTimeBarLength(int32_t songLenMs);

    // The view (KEView.cpp), listening (KEListening.cpp), latency (KELatency.cpp)
    void loadViewChoices();
    void refreshOverview();
    bool navigationAllowed() const;
    void canvasWheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers);
    void overviewChosen(int32_t timeSetValue);
    void applySavedListening();
    void showListening();
    void applySavedLatency();
    void disarmAutoSpace();

    // Editing (KEEditing.cpp)
    bool editingAllowed() const { return !m_session.moving(); }
    void takeSelection();
    void endSelection();

    // Chart files (KEChartCommands.cpp), the fields (KEFields.cpp)
    WindowFacts facts(WindowFacts::Kind kind) const override { return windowFacts(kind); }
    void committed(WindowFacts::Kind kind) override;
    QString tempoText() const override;
    bool hasMusic() const override { return m_session.music() != 0; }
    void showChart(const QString& title, std::optional<int32_t> songLenMs) override;
    bool openChart(const QString& path, const QString& title, const QString& chartPath) override;

    // History (KEHistory.cpp)
    // After every change of the chart or of the history: the caption and the autosave.
    void chartChanged();
    WindowFacts windowFacts(WindowFacts::Kind kind) const;
    void applyFacts(const WindowFacts& facts);
    void stepApplied(bool applied, const WindowFacts* facts);
    void afterUndoRedo(int32_t cellsBefore);
    // Before the chart is closed or replaced: asks what to do with unsaved changes. True
    // when the caller may go on.
    bool mayLeaveChart(const QString& question);
    RecoveryInfo recoveryInfo() const;
    void restoreTexts(const QString& tempoText, const QString& offsetText) override;
    void openSong(const QString& path) override;
    void markUnsaved() override;

    KeP& m_kep;
    EditorServices m_services;
    DialogStartFolder m_startFolder;
    std::unique_ptr<WindowControls> m_controls;
    CanvasDisplay m_display;
    QPointer<LatencyDialog> m_latencyDialog;
    QPointer<TempoDialog> m_tempoDialog;
    std::unique_ptr<KeyInput> m_Keyboard;
    ViewNavigator m_navigator;
    PlaybackSession m_session;
    CanvasGestures m_gestures;
    ChartDocument m_document;
    KeyCommands m_keys;
    TimingFields m_fields;
    ChartFileCommands m_chartFiles;
    FrameLoop m_frames;
    QTimer m_decodeTimer;
    double m_frameHz = 60.0;
    std::unique_ptr<Autosave> m_autosave;
    QString m_musicPath;
    EditorState m_state;
    // Last, so the shortcuts go before the controls they watch.
    std::unique_ptr<KeyboardShortcuts> m_shortcuts;
};

} // namespace tavix
