#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QSettings;

namespace tavix {

// Every command a key can run in the window.
enum class Command : int {
    PlayPause,
    Stop,
    Save,
    RandomKey,
    Copy,
    Cut,
    Paste,
    Delete,
    OpenMusic,
    OpenChart,
    Undo,
    Redo,
    CursorBack,
    CursorOn,
    MeasureBack,
    MeasureOn,
    SelectBack,
    SelectOn,
    SelectMeasureBack,
    SelectMeasureOn,
    SelectAll,
    SnapCoarser,
    SnapFiner,
    AdvanceAfterEntry,
    Mirror,
    Flip,
    ShiftEarlier,
    ShiftLater,
    ZoomIn,
    ZoomOut,
    ViewBeatBack,
    ViewBeatOn,
    PageBack,
    PageOn,
    ViewStart,
    ViewEnd,
    Guides,
    Metronome,
    Slower,
    Faster,
    AutoSpace,
    Latency,
    Tempo,
    Keys,
    TestPlay,
    ChartReport,
    Loop,
    Count
};

struct CommandInfo
{
    Command command;
    const char* id;   // its name in the settings
    const char* name; // its name in the Keys dialog
    QList<QKeySequence> defaults;
    bool repeats; // a held key runs it again and again
    int button;   // the toolbar button it stands for, -1 for none
};

// Which keys run which command: the defaults, what the user changed, and the rules every
// change keeps. One key runs at most one command (a second is refused, naming the one that
// holds the key); the keypad's entry keys are kept for entering and recording keys; a key
// is one key with its modifiers, never a modifier alone. Kept in the settings as the
// commands whose keys differ from their defaults, so new defaults reach everything else.
class ShortcutMap
{
public:
    static const std::vector<CommandInfo>& commands();
    static const CommandInfo& info(Command command);

    struct Refusal
    {
        enum class Why { NotAKey, Reserved, Taken };
        Why why;
        QKeySequence key;
        std::optional<Command> holder; // for Taken
    };
    // Why a key can never be a shortcut; nothing when it can.
    static std::optional<Refusal::Why> unusable(const QKeySequence& key);

    ShortcutMap(); // the defaults

    const QList<QKeySequence>& keys(Command command) const;
    // The keys as the user reads them, "Ctrl+Y, Ctrl+Shift+Z"; empty for none.
    QString keysText(Command command) const;
    std::optional<Command> holder(const QKeySequence& key) const;

    // The key becomes the command's only key, or one more of its keys.
    std::optional<Refusal> replace(Command command, const QKeySequence& key);
    std::optional<Refusal> add(Command command, const QKeySequence& key);
    void clear(Command command);
    // Back to the command's default keys; refused while another command holds one of them.
    std::optional<Refusal> reset(Command command);
    void resetAll();
    bool isDefault(Command command) const;

    // What the settings keep: only valid keys are taken, and where a hand-edited file
    // gives one key twice the first command keeps it.
    void load(const QSettings& settings);
    void save(QSettings& settings) const;

    friend bool operator==(const ShortcutMap& a, const ShortcutMap& b)
    {
        return a.m_keys == b.m_keys;
    }

private:
    std::optional<Refusal> check(Command command, const QKeySequence& key) const;

    std::array<QList<QKeySequence>, size_t(Command::Count)> m_keys;
};

} // namespace tavix
