#pragma once

#include "CanvasDisplay.h"
#include "CanvasGestures.h"
#include "ChartDocument.h"
#include "ChartFileCommands.h"
#include "ChartNotes.h"
#include "DecodeWatch.h"
#include "DialogStartFolder.h"
#include "EditorServices.h"
#include "EditorState.h"
#include "FrameLoop.h"
#include "KeyCommands.h"
#include "KeyDisplayHost.h"
#include "KeyEventForwarding.h"
#include "PlaybackSession.h"
#include "RecoveryInfo.h"
#include "RecoveryWorkflow.h"
#include "RememberedChoices.h"
#include "TimingFields.h"
#include "ViewNavigator.h"
#include "ViewPlace.h"
#include "WindowControls.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

namespace tavix {

class Autosave;
class KeyInput;
class KeyboardCharting;
class TestPlayWiring;
class TempoOfferWiring;
class ChartReportWiring;
class LatencyDialog;
class RecoveryNote;
class TempoDialog;

// The editor window: its controls, and the wiring of the editor's parts to them. The
// playback session plays the song and records, the commands change the chart through its
// document, the recovery keeps it; the window starts them, forwards its events and shows
// what they say. It runs its start-up when it is made and its shutdown when it is asked to
// close. Each group of wiring lives in a file of its own (KE*.cpp).
class KE : public QWidget,
           public KeyDisplayHost,
           private PlaybackSession::Observer,
           private ChartFileCommands::Host,
           private ChartNotes::Host,
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
    CanvasGestures& gestures() { return m_gestures; }

    // What the key display reads and moves.
    const DragState& dragState() const override { return m_gestures.drag(); }
    void setTimeSetValue(int32_t value) override { m_view.follow(value); }
    bool fitChart(int32_t TotalB) override;
    CellRange selectedCells() const override;
    const SelectionList* shownKeys() const override;
    bool cursorCellLit() const override { return !m_session.moving(); }
    const KeyMarks* judgedKeys() const override;
    CellRange loopCells() const override
    {
        return m_session.loopCells() ? *m_session.loopCells() : CellRange{};
    }
    // Charting at the keyboard: its shortcuts, cursor, selections, zoom and strip.
    KeyboardCharting& charting() { return *m_charting; }
    // Test play from the edit cursor, its strip controls and its results.
    TestPlayWiring& testPlay() { return *m_testPlay; }
    // The chart report: the chart's figures and the findings of its checks.
    ChartReportWiring& report() { return *m_report; }
    // The tempo detected when a song opens, offered in the strip.
    TempoOfferWiring& tempoOffer() { return *m_tempoOffer; }

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

    // The close request: stops and releases every stream and the engine, then ends the
    // program through the quit callback. Runs once. (KEStartup.cpp)
    void shutdown();

    // The toolbar (KE.cpp); the buttons take their pressed look themselves.
    void buttonMouseDown(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
    {
        c().toolbar->pressed(index);
    }
    void buttonClick(int index);

    // Music and playback (KEPlayback.cpp). openMusicFile opens a song without the dialog
    // (the command line's); when it fails a message box names the file and the reason,
    // and nothing has changed.
    void OpenMusic();
    // Keys or markers the song would cut off are asked for first, unless told otherwise.
    bool openMusicFile(const QString& path, const QString& title, bool askBeforeCutting = true);
    void PlayPause();
    double LeadMs() const { return m_session.LeadMs(); }
    void playbackPass() { m_session.pass(); }
    // Runs a redraw asked for and not yet done; true when there was one.
    bool runPendingFrame() { return m_frames.runPending(); }
    bool frameTickActive() const { return m_frames.ticking(); }

    // The dialogs (KEDialogs.cpp): the latency calibration (not while playing) and the
    // tempo dialog (detection, taps, and Apply through the boxes' own commits).
    void calibrateLatency();
    LatencyDialog* latencyDialog() const;
    void openTempoDialog();
    TempoDialog* tempoDialog() const;
    // The dialog's Apply: the texts committed as Enter in the boxes would; refused, with the
    // reason returned, while the song plays unpaused or when a text is not accepted.
    QString applyTempoTexts(const QString& tempo, const QString& offset);

    // The song under the chart (KEView.cpp): the waveform and beat lines on or off, a
    // remembered choice; the view moved as a navigation key moves it, not while playing.
    void setGuidesShown(bool shown);
    bool guidesShown() const { return m_display.guidesShown(); }
    void navigate(ViewNavigator::Step step) { m_view.step(step); }

    // The metronome and the playback rate, remembered choices (KEListening.cpp).
    void toggleMetronome();
    void slowerPlayback();
    void fasterPlayback();
    void setPlaybackRate(int percent);

    // The tempo and offset fields, and auto space (KEFields.cpp).
    void tempoLabelDoubleClicked() { m_fields.openTempoBox(); }
    void commitTempo() { m_fields.commitTempo(); }
    void offsetLabelDoubleClicked() { m_fields.openOffsetBox(); }
    void commitOffset() { m_fields.commitOffset(); }
    void autoSpaceClicked();
    bool autoSpaceArmed() const;

    // Mouse editing, the clipboard commands and random keys (KEEditing.cpp). The cursor
    // moves to chart time `ms` as a click outside the rows moves it.
    void canvasMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    void canvasMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x,
                         float y);
    void canvasMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    void moveCursorTo(int32_t ms);
    void copyKeys();
    void deleteKeys();
    void pasteKeys();
    void randomKeys();

    // The chart files (KEChartCommands.cpp). openChartFile opens a chart without the
    // dialog (the command line's), exactly as the open command does; the song its notes
    // name is opened first, unless `keepSong` (a song was given with the chart).
    bool saveChartCommand();
    void openChartCommand();
    bool openChartFile(const QString& path, const QString& title, bool keepSong = false);

    // History, unsaved changes and recovery (KEHistory.cpp). A termination signal keeps a
    // chart with unsaved changes for recovery at once and shuts down without asking.
    void undoEdit();
    void redoEdit();
    bool isModified() const { return m_document.isModified(); }
    bool offerRecovery();
    void endOnSignal();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    WindowControls& c() { return *m_controls; }
    bool closing() const { return m_session.released(); }
    void connectControls();
    void startUp();
    void InitNeC1() { c().toolbar->recordHomes(); }
    void releaseStreams() { m_session.release(); }

    // KEPlayback.cpp
    void runChanged(PlaybackSession::RunChange change) override;
    void passDone(int32_t playMs, bool moving) override;
    void keyRecorded() override { chartChanged(); }
    void recordingTaken(ChartChange keys) override;
    void chartFitted(std::optional<ChartChange> step) override;
    void songLengthLearned(int32_t songLenMs) override;
    void StopPlayback();
    void LoopRender();
    void timeSetChanged();
    QString PosString(int64_t Pos) const;
    void showCounters(int32_t ms);
    void setTimeBarLength(int32_t songLenMs);
    void renderFrame(int32_t ms, int32_t curMs, bool GoP);
    // Asks for one redraw at the next turn of the event loop, when nothing else draws.
    void scheduleFrame();
    void drawIdleFrame();

    // KEView.cpp, KEListening.cpp, KEDialogs.cpp, KEFields.cpp
    void loadViewChoices();
    void refreshOverview();
    void applySavedListening();
    void showListening();
    void applySavedLatency();
    void disarmAutoSpace();
    WindowFacts facts(WindowFacts::Kind kind) const override { return windowFacts(kind); }
    void committed(WindowFacts::Kind kind) override;

    // KEEditing.cpp
    bool editingAllowed() const { return !m_session.moving(); }
    void takeSelection();
    void endSelection() { m_gestures.endSelection(); }

    // KEChartCommands.cpp
    QString tempoText() const override { return m_controls->sBpm.text(); }
    bool hasMusic() const override { return m_session.music() != 0; }
    void showChart(const QString& title, std::optional<int32_t> songLenMs) override;
    bool openChart(const QString& path, const QString& title, const QString& chartPath) override;
    void chartOpened() override;
    void chartSaved(const QString& path) override { m_notes.keep(path); }
    bool openSong(const QString& path, const QString& title, bool askBeforeCutting) override
    {
        return openMusicFile(path, title, askBeforeCutting);
    }
    bool playingOrClosing() const override { return m_session.playing() || closing(); }
    void pauseForQuestion() override;
    bool saveCommand() override { return saveChartCommand(); }
    bool mayLeaveChart(const QString& question) { return m_chartFiles.mayLeave(question); }

    // KEHistory.cpp: after every change of the chart or of the history, the caption and
    // the autosave follow.
    void chartChanged();
    WindowFacts windowFacts(WindowFacts::Kind kind) const;
    void applyFacts(const WindowFacts& facts);
    void stepApplied(bool applied, const WindowFacts* facts);
    void afterUndoRedo(int32_t cellsBefore);
    bool ended() const override { return closing(); }

    KeP& m_kep;
    EditorServices m_services;
    DialogStartFolder m_startFolder;
    RememberedChoices m_choices;
    std::unique_ptr<WindowControls> m_controls;
    CanvasDisplay m_display;
    QPointer<LatencyDialog> m_latencyDialog;
    QPointer<TempoDialog> m_tempoDialog;
    std::unique_ptr<KeyInput> m_Keyboard;
    std::unique_ptr<KeyEventForwarding> m_keyEvents;
    PlaybackSession m_session;
    ViewPlace m_view;
    CanvasGestures m_gestures;
    ChartDocument m_document;
    KeyCommands m_keys;
    TimingFields m_fields;
    ChartFileCommands m_chartFiles;
    ChartNotes m_notes;
    RecoveryWorkflow m_recovery;
    FrameLoop m_frames;
    DecodeWatch m_decoding;
    double m_frameHz = 60.0;
    std::unique_ptr<Autosave> m_autosave;
    std::unique_ptr<RecoveryNote> m_recoveryNote; // over the strip while copies fail
    EditorState m_state;
    // Last, so the shortcuts go before the controls they watch.
    std::unique_ptr<KeyboardCharting> m_charting;
    friend class KeyboardCharting;
    std::unique_ptr<TestPlayWiring> m_testPlay;
    friend class TestPlayWiring;
    std::unique_ptr<ChartReportWiring> m_report;
    friend class ChartReportWiring;
    std::unique_ptr<TempoOfferWiring> m_tempoOffer;
    friend class TempoOfferWiring;
};

} // namespace tavix
