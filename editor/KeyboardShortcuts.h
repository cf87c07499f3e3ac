#pragma once

#include <QKeySequence>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QShortcut;
class QWidget;

namespace tavix {

class KE;

// The window's keyboard shortcuts. Each one does what its toolbar button does, and not
// while a disabled button would refuse it. While the tempo or the offset box has the
// focus they are all switched off, so the box gets its keys (Space, Delete, Ctrl+C ...).
// Ctrl+L opens the latency calibration, Ctrl+T the tempo dialog.
// The keypad is left alone for live recording.
class KeyboardShortcuts : public QObject
{
    Q_OBJECT
public:
    struct Binding
    {
        QKeySequence keys;
        int button; // the toolbar button it stands for
    };
    static const std::vector<Binding>& bindings();
    // Commands without a toolbar button, under the same rule.
    struct CommandBinding
    {
        QKeySequence keys;
        void (KE::*command)();
    };
    static const std::vector<CommandBinding>& commandBindings();

    explicit KeyboardShortcuts(KE& window);
    ~KeyboardShortcuts() override;

    // Whether the shortcuts are on now, that is no entry box has the focus.
    bool active() const { return m_active; }

private:
    void focusChanged(QWidget* now);
    bool fieldHasFocus(const QWidget* widget) const;
    void trigger(int button);
    // A member function makes the call: made inside the shortcut's lambda, GCC's vptr
    // check in the sanitizer tree reported it as a call on an object of another type.
    void run(void (KE::*command)());
    void add(const QKeySequence& keys, std::function<void()> action);

    KE& m_window;
    std::vector<std::unique_ptr<QShortcut>> m_shortcuts;
    bool m_active = true;
};

} // namespace tavix
