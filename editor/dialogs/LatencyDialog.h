#pragma once

#include "LatencyCalibration.h"
#include "SoundEngine.h"

#include <QByteArray>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QSettings;

namespace tavix {

class KeyInput;

// The latency calibration as the user meets it: a click on every beat at 120 BPM for 16
// beats while they press keypad 5 with what they hear; each press's error and, at the end,
// the latency found and the spread; Save keeps it in the settings and hands it to the
// engine, which uses it from then on for the position and for recording.
class LatencyDialog : public QDialog
{
    Q_OBJECT
public:
    using SettingsFactory = std::function<std::unique_ptr<QSettings>()>;
    static const char* const SettingsKey;

    // `clickSounds`: clip streams the clicks play from, in turn, on channels 0, 1, ...
    LatencyDialog(SoundEngine& engine, KeyInput& keyboard, std::vector<StreamHandle> clickSounds,
                  SettingsFactory settings, QWidget* parent = nullptr);
    ~LatencyDialog() override;

    // The calibrated latency kept in the settings (0 when none is).
    static double savedLatencyMs(QSettings& settings);

    // Starts the clicks (again, from the first, if they play).
    void start();
    // Keeps the result and closes; nothing happens without a valid result.
    void save();
    bool running() const { return m_tick.isActive(); }
    const LatencyCalibration::Result& result() const { return m_result; }
    // The calibrated latency a save would keep.
    double proposedLatencyMs() const;

    QPushButton& startButton() { return m_start; }
    QPushButton& saveButton() { return m_save; }
    QListWidget& pressList() { return m_presses; }
    QLabel& resultLabel() { return m_resultText; }
    // Collects the presses and ends the run when the clicks are over; the timer calls it.
    void tick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void stopTrack();
    void finish();
    void showPresses(const LatencyCalibration::Result& r);
    double latencyInUseMs() const;
    bool forwardKeypad(QKeyEvent* event, bool down);

    SoundEngine& m_engine;
    KeyInput& m_keyboard;
    std::vector<StreamHandle> m_clickSounds;
    SettingsFactory m_settings;
    double m_savedMs = 0;
    LatencyCalibration m_calibration;
    LatencyCalibration::Result m_result;
    QByteArray m_trackBlock;
    StreamHandle m_track = 0;
    int m_shownPresses = -1;

    QLabel m_intro;
    QLabel m_inUse;
    QListWidget m_presses;
    QLabel m_resultText;
    QPushButton m_start;
    QPushButton m_save;
    QPushButton m_close;
    QTimer m_tick;
};

} // namespace tavix
