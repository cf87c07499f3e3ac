#include "KeyboardShortcuts.h"

#include "KE.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

namespace tavix {

const std::vector<KeyboardShortcuts::Binding>& KeyboardShortcuts::bindings()
{
    static const std::vector<Binding> all{
        {QKeySequence(Qt::CTRL | Qt::Key_C), 4},
        {QKeySequence(Qt::CTRL | Qt::Key_X), 5},
        {QKeySequence(Qt::CTRL | Qt::Key_V), 6},
        {QKeySequence(Qt::Key_Delete), 7},
        {QKeySequence(Qt::CTRL | Qt::Key_S), 2},
        {QKeySequence(Qt::CTRL | Qt::Key_O), 9},
        {QKeySequence(Qt::CTRL | Qt::Key_M), 8},
        {QKeySequence(Qt::Key_Space), 0},
        {QKeySequence(Qt::Key_Escape), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), Undo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), Redo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), Redo},
    };
    return all;
}

const std::vector<KeyboardShortcuts::CommandBinding>& KeyboardShortcuts::commandBindings()
{
    static const std::vector<CommandBinding> all{
        {QKeySequence(Qt::CTRL | Qt::Key_L), [](KE& window) { window.calibrateLatency(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_T), [](KE& window) { window.openTempoDialog(); }},
        {QKeySequence(Qt::Key_M), [](KE& window) { window.toggleMetronome(); }},
        {QKeySequence(Qt::Key_BracketLeft), [](KE& window) { window.slowerPlayback(); }},
        {QKeySequence(Qt::Key_BracketRight), [](KE& window) { window.fasterPlayback(); }},
    };
    return all;
}

const std::vector<KeyboardShortcuts::NavigationBinding>& KeyboardShortcuts::navigationBindings()
{
    using Step = ViewNavigator::Step;
    static const std::vector<NavigationBinding> all{
        {QKeySequence(Qt::Key_Left), Step::BeatBack},
        {QKeySequence(Qt::Key_Right), Step::BeatOn},
        {QKeySequence(Qt::Key_PageUp), Step::PageBack},
        {QKeySequence(Qt::Key_PageDown), Step::PageOn},
        {QKeySequence(Qt::Key_Home), Step::Start},
        {QKeySequence(Qt::Key_End), Step::End},
    };
    return all;
}

KeyboardShortcuts::KeyboardShortcuts(KE& window) : m_window(window)
{
    // The window itself takes the focus a click or a closed box leaves behind, so Space
    // reaches the shortcut and never a control that happens to hold the focus.
    m_window.setFocusPolicy(Qt::StrongFocus);
    for (const Binding& binding : bindings()) {
        const int button = binding.button;
        // A held key is one command (a repeated Space would pause and resume in turn),
        // except undo and redo, which step on through the history.
        addShortcut(binding.keys, button < 0, [this, button] { trigger(button); });
    }
    for (const CommandBinding& binding : commandBindings()) {
        const auto command = binding.command;
        addShortcut(binding.keys, false, [this, command] {
            if (!fieldHasFocus(QApplication::focusWidget()))
                command(m_window);
        });
    }
    // Held, the navigation keys go on moving.
    for (const NavigationBinding& binding : navigationBindings()) {
        const ViewNavigator::Step step = binding.step;
        addShortcut(binding.keys, true, [this, step] {
            if (!fieldHasFocus(QApplication::focusWidget()))
                m_window.navigate(step);
        });
    }
    addShortcut(guidesKey(), false, [this] {
        if (!fieldHasFocus(QApplication::focusWidget()))
            m_window.setGuidesShown(!m_window.guidesShown());
    });
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { focusChanged(now); });
    focusChanged(QApplication::focusWidget());
}

KeyboardShortcuts::~KeyboardShortcuts()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void KeyboardShortcuts::addShortcut(const QKeySequence& keys, bool autoRepeat,
                                    std::function<void()> action)
{
    auto shortcut = std::make_unique<QShortcut>(keys, &m_window);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(autoRepeat);
    connect(shortcut.get(), &QShortcut::activated, this, std::move(action));
    shortcut->setEnabled(m_active);
    m_shortcuts.push_back(std::move(shortcut));
}

bool KeyboardShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    // Qt tries a shortcut again without the keypad flag when none matches with it, so a
    // keypad key would take the navigation key it is labelled with. Claiming the key for
    // the focus widget keeps it away from the shortcuts; it then arrives as a plain key
    // press, where the keyboard device finds it.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (key.modifiers() & Qt::KeypadModifier) {
            const QKeySequence plain(key.keyCombination().key());
            for (const NavigationBinding& binding : navigationBindings()) {
                if (binding.keys == plain) {
                    event->accept();
                    return true;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

bool KeyboardShortcuts::fieldHasFocus(const QWidget* widget) const
{
    return widget && (widget == &m_window.sBpm() || widget == &m_window.sOff());
}

void KeyboardShortcuts::focusChanged(QWidget* now)
{
    m_active = !fieldHasFocus(now);
    for (const auto& shortcut : m_shortcuts)
        shortcut->setEnabled(m_active);
}

void KeyboardShortcuts::trigger(int button)
{
    if (fieldHasFocus(QApplication::focusWidget()))
        return;
    if (button == Undo) {
        m_window.undoEdit();
        return;
    }
    if (button == Redo) {
        m_window.redoEdit();
        return;
    }
    // Buttons 8 and 9 are disabled while playing; their keys are refused with them.
    if (!m_window.NeC1(button).isEnabled())
        return;
    m_window.buttonClick(button);
}

} // namespace tavix
