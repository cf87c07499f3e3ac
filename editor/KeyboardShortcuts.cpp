#include "KeyboardShortcuts.h"

#include "KE.h"

#include <QApplication>
#include <QShortcut>

namespace tavix {

const std::vector<KeyboardShortcuts::Binding>& KeyboardShortcuts::bindings()
{
    static const std::vector<Binding> all{
        {QKeySequence(Qt::CTRL | Qt::Key_C), 4}, {QKeySequence(Qt::CTRL | Qt::Key_X), 5},
        {QKeySequence(Qt::CTRL | Qt::Key_V), 6}, {QKeySequence(Qt::Key_Delete), 7},
        {QKeySequence(Qt::CTRL | Qt::Key_S), 2}, {QKeySequence(Qt::CTRL | Qt::Key_O), 9},
        {QKeySequence(Qt::CTRL | Qt::Key_M), 8}, {QKeySequence(Qt::Key_Space), 0},
        {QKeySequence(Qt::Key_Escape), 1},
    };
    return all;
}

const std::vector<KeyboardShortcuts::CommandBinding>& KeyboardShortcuts::commandBindings()
{
    static const std::vector<CommandBinding> all{
        {QKeySequence(Qt::CTRL | Qt::Key_L), &KE::calibrateLatency},
        {QKeySequence(Qt::CTRL | Qt::Key_T), &KE::openTempoDialog},
    };
    return all;
}

void KeyboardShortcuts::add(const QKeySequence& keys, std::function<void()> action)
{
    auto shortcut = std::make_unique<QShortcut>(keys, &m_window);
    shortcut->setContext(Qt::WindowShortcut);
    // A held key is one command: a repeated Space would pause and resume in turn.
    shortcut->setAutoRepeat(false);
    connect(shortcut.get(), &QShortcut::activated, this, std::move(action));
    m_shortcuts.push_back(std::move(shortcut));
}

KeyboardShortcuts::KeyboardShortcuts(KE& window) : m_window(window)
{
    // The window itself takes the focus a click or a closed box leaves behind, so Space
    // reaches the shortcut and never a control that happens to hold the focus.
    m_window.setFocusPolicy(Qt::StrongFocus);
    for (const Binding& binding : bindings()) {
        const int button = binding.button;
        add(binding.keys, [this, button] { trigger(button); });
    }
    for (const CommandBinding& binding : commandBindings()) {
        const auto command = binding.command;
        add(binding.keys, [this, command] { run(command); });
    }
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { focusChanged(now); });
    focusChanged(QApplication::focusWidget());
}

KeyboardShortcuts::~KeyboardShortcuts() = default;

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

void KeyboardShortcuts::run(void (KE::*command)())
{
    if (!fieldHasFocus(QApplication::focusWidget()))
        (m_window.*command)();
}

void KeyboardShortcuts::trigger(int button)
{
    if (fieldHasFocus(QApplication::focusWidget()))
        return;
    // Buttons 8 and 9 are disabled while playing; their keys are refused with them.
    if (!m_window.NeC1(button).isEnabled())
        return;
    m_window.buttonClick(button);
}

} // namespace tavix
