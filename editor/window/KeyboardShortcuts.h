#pragma once

#include "ViewNavigator.h"

#include <QKeySequence>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QShortcut;
class QWidget;

namespace tavix {

class KE;

// The window's keyboard shortcuts. Each of the first kind does what its toolbar button
// does, and not while a disabled button would refuse it; undo and redo have keys alone;
// the navigation keys move the time bar, W switches the waveform and beat lines, M the
// metronome, '[' and ']' step the playback rate down and up, Ctrl+L opens the latency
// calibration and Ctrl+T the tempo dialog. While the tempo or the offset box has the focus
// they are all switched off, so the box gets its keys (Space, Delete, Ctrl+C, Home ...).
// The keypad is left alone for live recording: with Num Lock off its digits arrive as
// arrows, Home, End and the page keys, which no shortcut takes.
class KeyboardShortcuts : public QObject
{
    Q_OBJECT
public:
    // The commands without a toolbar button.
    static constexpr int Undo = -1;
    static constexpr int Redo = -2;

    struct Binding
    {
        QKeySequence keys;
        int button; // the toolbar button it stands for, or Undo or Redo
    };
    static const std::vector<Binding>& bindings();
    // Commands without a toolbar button, under the same rule.
    struct CommandBinding
    {
        QKeySequence keys;
        void (*command)(KE&);
    };
    static const std::vector<CommandBinding>& commandBindings();
    struct NavigationBinding
    {
        QKeySequence keys;
        ViewNavigator::Step step;
    };
    static const std::vector<NavigationBinding>& navigationBindings();
    static QKeySequence guidesKey() { return QKeySequence(Qt::Key_W); }

    explicit KeyboardShortcuts(KE& window);
    ~KeyboardShortcuts() override;

    // Whether the shortcuts are on now, that is no entry box has the focus.
    bool active() const { return m_active; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addShortcut(const QKeySequence& keys, bool autoRepeat, std::function<void()> action);
    void focusChanged(QWidget* now);
    bool fieldHasFocus(const QWidget* widget) const;
    void trigger(int button);

    KE& m_window;
    std::vector<std::unique_ptr<QShortcut>> m_shortcuts;
    bool m_active = true;
};

} // namespace tavix
