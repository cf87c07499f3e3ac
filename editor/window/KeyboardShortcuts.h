#pragma once

#include "ShortcutMap.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QShortcut;
class QWidget;

namespace tavix {

// The window's keyboard shortcuts, as the shortcut map gives them: every key of every
// command runs it (held keys repeat only for the commands that step, so a held Space does
// not pause and resume in turn). While the tempo or the offset box has the focus they are
// all switched off, so the box gets its keys (Space, Delete, Ctrl+C, Home ...). The
// keypad's entry keys are left to entering and recording keys: with Num Lock off they
// arrive as arrows, Home, End and the page keys, which would otherwise take shortcuts.
class KeyboardShortcuts : public QObject
{
    Q_OBJECT
public:
    KeyboardShortcuts(QWidget& window, const ShortcutMap& map,
                      std::function<bool(const QWidget*)> isEntryBox,
                      std::function<void(Command)> run);
    ~KeyboardShortcuts() override;

    // The map changed: its keys from now on.
    void rebuild();
    // Whether the shortcuts are on now, that is no entry box has the focus.
    bool active() const { return m_active; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusChanged(QWidget* now);

    QWidget& m_window;
    const ShortcutMap& m_map;
    std::function<bool(const QWidget*)> m_isEntryBox;
    std::function<void(Command)> m_run;
    std::vector<std::unique_ptr<QShortcut>> m_shortcuts;
    bool m_active = true;
};

} // namespace tavix
