#pragma once

#include "ChartEdit.h"
#include "ChartSideFile.h"
#include "ClickLabel.h"
#include "DialogStartFolder.h"
#include "EditorServices.h"
#include "EditorState.h"
#include "FieldEdit.h"
#include "KeyDisplayHost.h"
#include "PictureButton.h"
#include "RandomKeys.h"
#include "RecoveryInfo.h"
#include "ViewNavigator.h"
#include "WindowFacts.h"

#include <QByteArray>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace tavix {

class Autosave;
class ChartHistory;
class KeP;
class KeyCanvas;
class KeyInput;
class KeyboardShortcuts;
class LatencyDialog;
class OverviewStrip;
class RecoveryNote;
class TavixKey;
class TempoDialog;
class WaveformPeaks;
struct CellTiming;
struct CanvasView;

// The editor window: the controls, the window-level state and the commands. The window
// runs its start-up when it is made and its shutdown when it is asked to close. Each
// group of commands lives in a file of its own (KE*.cpp).
class KE : public QWidget, public KeyDisplayHost
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 998;
    // The classic controls fill 691 pixels; the overview strip lies under them.
    static constexpr int ClientHeight = 744;
    static constexpr int OverviewTop = 684;

    KE(KeP& kep, EditorServices services, QWidget* parent = nullptr);
    ~KE() override;

    KeP& kep() { return m_kep; }
    const KeP& kep() const { return m_kep; }
    ChartHistory& history() { return *m_history; }
    // The recovery writer; none when the services name no folder for it.
    Autosave* autosave() { return m_autosave.get(); }
    EditorState& state() { return m_state; }
    const EditorState& state() const { return m_state; }
    SoundEngine& sound() { return m_services.sound; }
    const EditorServices& services() const { return m_services; }

    // What the key display reads and moves.
    const DragState& dragState() const override { return m_state.drag; }
    void setTimeSetValue(int32_t value) override;

    // The controls, by their names.
    QLabel& BpmSet() { return m_BpmSet; }
    ClickLabel& sBpmB() { return m_sBpmB; }
    FieldEdit& sBpm() { return m_sBpm; }
    QLabel& OffSet() { return m_OffSet; }
    ClickLabel& slSetOff() { return m_slSetOff; }
    FieldEdit& sOff() { return m_sOff; }
    QLabel& mSet() { return m_mSet; }
    QLabel& MSeteD() { return m_MSeteD; }
    QLabel& Label1() { return m_Label1; }
    QLabel& scriptFile() { return m_scriptFile; }
    KeyCanvas& Picture1() { return *m_Picture1; }
    QScrollBar& TimeSet() { return m_TimeSet; }
    QLabel& cPosL() { return m_cPosL; }
    QLabel& cPos() { return m_cPos; }
    QLabel& NofBeat() { return m_NofBeat; }
    QLabel& cBeat() { return m_cBeat; }
    ClickLabel& Asp() { return m_Asp; }
    PictureButton& NeC1(int index) { return *m_NeC1.at(size_t(index)); }
    QLabel& iC(int index) { return *m_iC.at(size_t(index)); }
    QProgressBar& decodeBar() { return m_decodeBar; }
    OverviewStrip& overview() { return *m_overview; }

    // The key display, made on first use, and the keyboard made at start-up.
    TavixKey& renderer();
    bool hasRenderer() const { return bool(m_Renderer); }
    KeyInput& keyboard() { return *m_Keyboard; }

    // --- Start-up and shutdown (KEStartup.cpp)
    void InitNeC1();
    // The close request: stops and releases every stream and the engine, then ends the
    // program through the quit callback. Runs once.
    void shutdown();

    // --- Toolbar (KEToolbar.cpp)
    void buttonMouseDown(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                         int y);
    void buttonMouseUp(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                       int y);
    void buttonClick(int index);

    // --- Music, playback and drawing (KEPlayback.cpp)
    void OpenMusic();
    // Opens a song without the dialog (the command line's song). False when it failed;
    // a message box then names the file and the reason, and nothing has changed. Keys or
    // markers the song would cut off are asked for first, unless told otherwise (the chart
    // is about to be replaced).
    bool openMusicFile(const QString& path, const QString& title, bool askBeforeCutting = true);
    void LoopRender();
    void PlayPause();
    void StopPlayback();
    void timeSetChanged();
    QString PosString(int64_t Pos) const;
    double LeadMs() const;
    // One pass of the playback loop; the frame tick runs it while playing.
    void playbackPass();
    // Draws a frame now and reports a drawing error once on stderr instead of stopping.
    void renderFrame(int32_t ms, int32_t curMs, bool GoP);
    // Asks for one redraw at the next turn of the event loop, when nothing else draws.
    void scheduleFrame();
    // Runs a redraw asked for and not yet done; true when there was one.
    bool runPendingFrame();
    bool frameTickActive() const { return m_frameTick.isActive(); }
    // The song's length became known late, when its decoding ended (a header that could
    // only estimate it, or that told nothing): the chart is resized to it as for a song
    // just opened, and so are the time bar and the counters.
    void resizeToSongLength(int32_t songLenMs);
    double frameRateHz() const { return m_frameHz; }

    // --- Latency calibration (KELatency.cpp)
    // Opens the calibration dialog (not while playing); it plays clicks over the engine
    // and, when saved, keeps the latency found in the settings and gives it to the engine.
    void calibrateLatency();
    LatencyDialog* latencyDialog() const;
    // --- The song under the chart: waveform, beat lines, overview, navigation (KEView.cpp)
    // The waveform and the beat lines on the canvas, on or off; the choice is remembered.
    void setGuidesShown(bool shown);
    bool guidesShown() const { return m_guidesShown; }
    // Moves the time bar as a navigation key does; not while playing.
    void navigate(ViewNavigator::Step step);
    void canvasWheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers);
    // Puts a point of the overview at the left of the canvas; not while playing.
    void overviewChosen(int32_t timeSetValue);

    // --- Metronome and playback rate (KEListening.cpp)
    // A click on every beat (4 cells), a higher one on every measure (16 cells), placed
    // like the hit sounds; the choice is remembered.
    void toggleMetronome();
    // One step down or up through EditorState::PlaybackRates; the pitch is kept.
    void slowerPlayback();
    void fasterPlayback();
    void setPlaybackRate(int percent);
    QLabel& listeningLabel() { return m_listening; }

    // --- Tempo dialog (KETempo.cpp)
    // Opens the tempo dialog, or raises it: detection, taps, and Apply, which commits the
    // tempo and offset texts through the boxes' own commits.
    void openTempoDialog();
    TempoDialog* tempoDialog() const;
    // The song open now, empty for none.
    const QString& musicPath() const { return m_musicPath; }
    // Commits the texts as Enter in the tempo and offset boxes would; refused (with the
    // reason returned) while the song plays unpaused or a text is not accepted.
    QString applyTempoTexts(const QString& tempo, const QString& offset);

    // --- Tempo, offset and auto space (KEFields.cpp)
    void tempoLabelDoubleClicked();
    void commitTempo();
    void offsetLabelDoubleClicked();
    void commitOffset();
    void autoSpaceClicked();
    bool autoSpaceArmed() const;
    void disarmAutoSpace();

    // --- Mouse editing on the canvas (KEMouseEditing.cpp)
    void canvasMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    void canvasMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x,
                         float y);
    void canvasMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);

    // --- Clipboard commands and random keys (KEClipboardCommands.cpp)
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
    // The song its side file names is opened first, unless `keepSong` (a song was given
    // with the chart).
    bool openChartFile(const QString& name, const QString& title, bool keepSong = false);

    // --- History, unsaved changes and recovery (KEHistory.cpp)
    void undoEdit();
    void redoEdit();
    // The chart differs from the last save or open (keys recorded in the playback run
    // going on included).
    bool isModified() const;
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
    void buildControls();
    void connectControls();
    void startUp();
    void releaseStreams();
    void applySavedLatency();
    void applySavedListening();
    void openMetronomeClips();
    void showListening();
    void replanHitSounds();

    void setPlayButton(bool showPause);
    void enableOpenButtons(bool enabled);
    void startFrameTick();
    void stopFrameTick();
    void startMusic(bool goOn = false);
    void beginSegment(int64_t startMusicMs);
    void scheduleHitSounds();
    void cancelPendingHits(double heardThroughMs);
    void recordKeys(int32_t recordCell, bool cellInChart);
    void setKey(int32_t cell, int row);
    void drawIdleFrame();
    void reportError(const QString& what);
    void finishPlayback();
    void updateDecodeProgress();
    // True once the song is decoded; its length is then final and followed.
    bool followDecodedLength();
    CellTiming currentTiming() const;
    // The view's part of start-up, and what each frame hands the display and the strip.
    void loadViewChoices();
    void prepareFrame();
    void refreshOverview();
    bool navigationAllowed() const;
    // The time bar value that shows the chart's last canvas width.
    int32_t lastViewValue() const;

    // Every change of the chart goes through here: `writes` makes it through the chart's
    // editing interface, and what it changed becomes one step of the history.
    template <typename Writes> void changeChart(const QString& name, Writes&& writes)
    {
        flushRecording();
        ChartEdit edit(m_kep);
        writes(edit);
        recordStep(name, edit.take());
    }
    void recordStep(const QString& name, ChartChange change);
    void recordStep(const QString& name, ChartChange change, const WindowFacts& before);
    // The keys of the playback run so far become one step of their own.
    void flushRecording();
    // After every change of the chart or of the history: the caption and the autosave.
    void chartChanged();
    void updateCaption();
    WindowFacts windowFacts(WindowFacts::Kind kind) const;
    void applyFacts(const WindowFacts& facts);
    void stepApplied(bool applied, const WindowFacts* facts);
    void afterUndoRedo(int32_t cellsBefore);
    // Before the chart is closed or replaced: asks what to do with unsaved changes. True
    // when the caller may go on.
    bool mayLeaveChart(const QString& question);
    RecoveryInfo recoveryInfo() const;
    // The open: `path` is read and shown as `title`; `chartPath` is the file the chart
    // belongs to (another than `path` for a recovery copy, empty for none).
    bool openChart(const QString& path, const QString& title, const QString& chartPath);

    // What the chart was made with (KEChartNotes.cpp): kept beside it on every save, given
    // back when it opens.
    void keepChartNotes(const QString& chartPath);
    bool openChartWithNotes(const QString& name, const QString& title,
                            const ChartSideFile::Notes& notes, bool keepSong);
    // The song the notes name, or where it went: beside the chart, or where the user says.
    QString findSong(const QString& songPath, const QString& chartPath);

    // Editing (KEMouseEditing.cpp, KEClipboardCommands.cpp)
    bool editingAllowed() const;
    void takeSelection();
    void moveCursorTo(const CanvasView& view, float x);
    void endSelection();

    KeP& m_kep;
    EditorServices m_services;
    EditorState m_state;
    DialogStartFolder m_startFolder;

    QLabel m_BpmSet{this};
    ClickLabel m_sBpmB{this};
    FieldEdit m_sBpm{this};
    QLabel m_OffSet{this};
    ClickLabel m_slSetOff{this};
    FieldEdit m_sOff{this};
    QLabel m_mSet{this};
    QLabel m_MSeteD{this};
    QProgressBar m_decodeBar{this};
    QLabel m_Label1{this};
    QLabel m_scriptFile{this};
    std::unique_ptr<KeyCanvas> m_Picture1;
    QScrollBar m_TimeSet{Qt::Horizontal, this};
    std::unique_ptr<OverviewStrip> m_overview;
    QLabel m_cPosL{this};
    QLabel m_cPos{this};
    QLabel m_NofBeat{this};
    QLabel m_cBeat{this};
    ClickLabel m_Asp{this};
    QLabel m_listening{this}; // the playback rate and the metronome, right of the buttons
    std::array<std::unique_ptr<PictureButton>, EditorState::ButtonCount> m_NeC1;
    std::array<std::unique_ptr<QLabel>, 2> m_iC;

    QPointer<LatencyDialog> m_latencyDialog;
    QPointer<TempoDialog> m_tempoDialog;
    std::unique_ptr<TavixKey> m_Renderer;
    std::unique_ptr<KeyInput> m_Keyboard;
    // The song's waveform peaks, shown by the canvas and the overview.
    std::shared_ptr<const WaveformPeaks> m_peaks;
    bool m_guidesShown = true;
    ViewNavigator m_navigator;
    // The sound data the clip streams play from; they stay allocated for the whole run.
    QByteArray m_keySoundBlock;
    QByteArray m_markerSoundBlock;
    QByteArray m_beatClickBlock;
    QByteArray m_measureClickBlock;

    QTimer m_frameTick;
    QTimer m_idleFrame;
    QTimer m_decodeTimer;
    double m_frameHz = 60.0;
    bool m_framePending = false;
    bool m_fieldCommitting = false;
    QSet<QString> m_reportedErrors;
    // Not seeded from the clock: every run draws the same sequence.
    RandomKeys m_randomKeys;
    std::unique_ptr<ChartHistory> m_history;
    // The keys recorded in the playback run going on, one step when the run ends.
    std::optional<ChartEdit> m_runEdit;
    std::unique_ptr<Autosave> m_autosave;
    std::unique_ptr<RecoveryNote> m_recoveryNote; // over the strip while copies fail
    QString m_chartPath;                          // the chart file last opened or saved
    QString m_musicPath;
    // Last, so the shortcuts go before the controls they watch.
    std::unique_ptr<KeyboardShortcuts> m_shortcuts;
};

} // namespace tavix
