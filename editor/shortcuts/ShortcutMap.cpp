#include "ShortcutMap.h"

#include "KeypadKeys.h"

#include <QSettings>

#include <cassert>

namespace tavix {

namespace {

const QString Group = QStringLiteral("shortcuts");
// An empty list does not survive every settings format; this stands for "no key".
const QString NoKey = QStringLiteral("none");

QKeySequence key(QKeyCombination combination)
{
    return QKeySequence(combination);
}

bool isModifierKey(Qt::Key k)
{
    switch (k) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

} // namespace

const std::vector<CommandInfo>& ShortcutMap::commands()
{
    using C = Command;
    static const std::vector<CommandInfo> all{
        {C::PlayPause, "playPause", "Play, pause and resume", {key(Qt::Key_Space)}, false, 0},
        {C::Stop, "stop", "Stop", {key(Qt::Key_Escape)}, false, 1},
        {C::Save, "save", "Save the chart", {key(Qt::CTRL | Qt::Key_S)}, false, 2},
        {C::RandomKey, "randomKey", "Random Key", {}, false, 3},
        {C::Copy, "copy", "Copy", {key(Qt::CTRL | Qt::Key_C)}, false, 4},
        {C::Cut, "cut", "Cut", {key(Qt::CTRL | Qt::Key_X)}, false, 5},
        {C::Paste, "paste", "Paste", {key(Qt::CTRL | Qt::Key_V)}, false, 6},
        {C::Delete, "delete", "Delete", {key(Qt::Key_Delete)}, false, 7},
        {C::OpenMusic, "openMusic", "Open music", {key(Qt::CTRL | Qt::Key_M)}, false, 8},
        {C::OpenChart, "openChart", "Open a chart", {key(Qt::CTRL | Qt::Key_O)}, false, 9},
        {C::Undo, "undo", "Undo", {key(Qt::CTRL | Qt::Key_Z)}, true, -1},
        {C::Redo,
         "redo",
         "Redo",
         {key(Qt::CTRL | Qt::Key_Y), key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
         true,
         -1},
        {C::CursorBack, "cursorBack", "Cursor a snap back", {key(Qt::Key_Left)}, true, -1},
        {C::CursorOn, "cursorOn", "Cursor a snap on", {key(Qt::Key_Right)}, true, -1},
        {C::MeasureBack,
         "measureBack",
         "Cursor a measure back",
         {key(Qt::CTRL | Qt::Key_Left)},
         true,
         -1},
        {C::MeasureOn,
         "measureOn",
         "Cursor a measure on",
         {key(Qt::CTRL | Qt::Key_Right)},
         true,
         -1},
        {C::SelectBack,
         "selectBack",
         "Select a snap back",
         {key(Qt::SHIFT | Qt::Key_Left)},
         true,
         -1},
        {C::SelectOn, "selectOn", "Select a snap on", {key(Qt::SHIFT | Qt::Key_Right)}, true, -1},
        {C::SelectMeasureBack,
         "selectMeasureBack",
         "Select a measure back",
         {key(Qt::CTRL | Qt::SHIFT | Qt::Key_Left)},
         true,
         -1},
        {C::SelectMeasureOn,
         "selectMeasureOn",
         "Select a measure on",
         {key(Qt::CTRL | Qt::SHIFT | Qt::Key_Right)},
         true,
         -1},
        {C::SelectAll,
         "selectAll",
         "Select the whole chart",
         {key(Qt::CTRL | Qt::Key_A)},
         false,
         -1},
        {C::SnapCoarser, "snapCoarser", "Snap coarser", {key(Qt::Key_Up)}, false, -1},
        {C::SnapFiner, "snapFiner", "Snap finer", {key(Qt::Key_Down)}, false, -1},
        {C::AdvanceAfterEntry,
         "advanceAfterEntry",
         "Cursor on after each entry (on or off)",
         {key(Qt::Key_A)},
         false,
         -1},
        {C::Mirror, "mirror", "Mirror left to right", {key(Qt::CTRL | Qt::Key_H)}, false, -1},
        {C::Flip, "flip", "Flip top to bottom", {key(Qt::CTRL | Qt::SHIFT | Qt::Key_H)}, false, -1},
        {C::ShiftEarlier,
         "shiftEarlier",
         "Shift a snap earlier",
         {key(Qt::ALT | Qt::Key_Left)},
         true,
         -1},
        {C::ShiftLater,
         "shiftLater",
         "Shift a snap later",
         {key(Qt::ALT | Qt::Key_Right)},
         true,
         -1},
        {C::ZoomIn,
         "zoomIn",
         "Zoom in",
         {key(Qt::CTRL | Qt::Key_Equal), key(Qt::CTRL | Qt::Key_Plus)},
         false,
         -1},
        {C::ZoomOut, "zoomOut", "Zoom out", {key(Qt::CTRL | Qt::Key_Minus)}, false, -1},
        {C::ViewBeatBack, "viewBeatBack", "View a beat back", {}, true, -1},
        {C::ViewBeatOn, "viewBeatOn", "View a beat on", {}, true, -1},
        {C::PageBack, "pageBack", "View a canvas width back", {key(Qt::Key_PageUp)}, true, -1},
        {C::PageOn, "pageOn", "View a canvas width on", {key(Qt::Key_PageDown)}, true, -1},
        {C::ViewStart, "viewStart", "View to the start", {key(Qt::Key_Home)}, true, -1},
        {C::ViewEnd, "viewEnd", "View to the chart's end", {key(Qt::Key_End)}, true, -1},
        {C::Guides, "guides", "Waveform and beat lines (on or off)", {key(Qt::Key_W)}, false, -1},
        {C::Metronome, "metronome", "Metronome (on or off)", {key(Qt::Key_M)}, false, -1},
        {C::Slower, "slower", "Playback slower", {key(Qt::Key_BracketLeft)}, false, -1},
        {C::Faster, "faster", "Playback faster", {key(Qt::Key_BracketRight)}, false, -1},
        {C::AutoSpace, "autoSpace", "Auto Space", {}, false, -1},
        {C::Latency, "latency", "Latency calibration", {key(Qt::CTRL | Qt::Key_L)}, false, -1},
        {C::Tempo, "tempo", "Tempo dialog", {key(Qt::CTRL | Qt::Key_T)}, false, -1},
        {C::Keys, "keys", "Keys (this list)", {key(Qt::Key_F1)}, false, -1},
        {C::TestPlay,
         "testPlay",
         "Test play from the cursor",
         {key(Qt::CTRL | Qt::Key_P)},
         false,
         -1},
        {C::ChartReport,
         "chartReport",
         "Chart report: statistics and checks",
         {key(Qt::CTRL | Qt::Key_I)},
         false,
         -1},
        {C::Loop, "loop", "Loop the selected cells (on or off)", {key(Qt::Key_L)}, false, -1},
    };
    assert(all.size() == size_t(Command::Count));
    return all;
}

const CommandInfo& ShortcutMap::info(Command command)
{
    const CommandInfo& found = commands()[size_t(command)];
    assert(found.command == command);
    return found;
}

std::optional<ShortcutMap::Refusal::Why> ShortcutMap::unusable(const QKeySequence& key)
{
    if (key.count() != 1 || isModifierKey(key[0].key()))
        return Refusal::Why::NotAKey;
    if (KeypadKeys::isEntryKey(key[0]))
        return Refusal::Why::Reserved;
    return std::nullopt;
}

ShortcutMap::ShortcutMap()
{
    resetAll();
}

const QList<QKeySequence>& ShortcutMap::keys(Command command) const
{
    return m_keys[size_t(command)];
}

QString ShortcutMap::keysText(Command command) const
{
    QStringList texts;
    for (const QKeySequence& key : keys(command))
        texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(", "));
}

std::optional<Command> ShortcutMap::holder(const QKeySequence& key) const
{
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i].contains(key))
            return Command(i);
    return std::nullopt;
}

std::optional<ShortcutMap::Refusal> ShortcutMap::check(Command command,
                                                       const QKeySequence& key) const
{
    if (const auto why = unusable(key))
        return Refusal{*why, key, std::nullopt};
    const std::optional<Command> owner = holder(key);
    if (owner && *owner != command)
        return Refusal{Refusal::Why::Taken, key, owner};
    return std::nullopt;
}

std::optional<ShortcutMap::Refusal> ShortcutMap::replace(Command command, const QKeySequence& key)
{
    if (auto refusal = check(command, key))
        return refusal;
    m_keys[size_t(command)] = {key};
    return std::nullopt;
}

std::optional<ShortcutMap::Refusal> ShortcutMap::add(Command command, const QKeySequence& key)
{
    if (auto refusal = check(command, key))
        return refusal;
    if (!m_keys[size_t(command)].contains(key))
        m_keys[size_t(command)].append(key);
    return std::nullopt;
}

void ShortcutMap::clear(Command command)
{
    m_keys[size_t(command)].clear();
}

std::optional<ShortcutMap::Refusal> ShortcutMap::reset(Command command)
{
    for (const QKeySequence& key : info(command).defaults)
        if (auto refusal = check(command, key))
            return refusal;
    m_keys[size_t(command)] = info(command).defaults;
    return std::nullopt;
}

void ShortcutMap::resetAll()
{
    for (const CommandInfo& command : commands())
        m_keys[size_t(command.command)] = command.defaults;
}

bool ShortcutMap::isDefault(Command command) const
{
    return keys(command) == info(command).defaults;
}

void ShortcutMap::load(const QSettings& settings)
{
    // The commands the user changed take their keys first; the defaults of the others
    // then get what is left.
    std::array<std::optional<QStringList>, size_t(Command::Count)> stored;
    for (const CommandInfo& command : commands()) {
        const QString name = Group + QLatin1Char('/') + QLatin1String(command.id);
        if (settings.contains(name))
            stored[size_t(command.command)] = settings.value(name).toStringList();
    }
    for (auto& keys : m_keys)
        keys.clear();
    for (const CommandInfo& command : commands()) {
        const auto& texts = stored[size_t(command.command)];
        if (!texts)
            continue;
        for (const QString& text : *texts)
            if (text != NoKey)
                add(command.command, QKeySequence::fromString(text, QKeySequence::PortableText));
    }
    for (const CommandInfo& command : commands())
        if (!stored[size_t(command.command)])
            for (const QKeySequence& key : command.defaults)
                add(command.command, key);
}

void ShortcutMap::save(QSettings& settings) const
{
    for (const CommandInfo& command : commands()) {
        const QString name = Group + QLatin1Char('/') + QLatin1String(command.id);
        if (isDefault(command.command)) {
            settings.remove(name);
            continue;
        }
        QStringList texts;
        for (const QKeySequence& key : keys(command.command))
            texts << key.toString(QKeySequence::PortableText);
        if (texts.isEmpty())
            texts << NoKey;
        settings.setValue(name, texts);
    }
}

} // namespace tavix
