#include "KeyboardShortcuts.h"

#include "KeypadKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QWidget>

namespace tavix {

KeyboardShortcuts::KeyboardShortcuts(QWidget& window, const ShortcutMap& map,
                                     std::function<bool(const QWidget*)> isEntryBox,
                                     std::function<void(Command)> run)
    : m_window(window), m_map(map), m_isEntryBox(std::move(isEntryBox)), m_run(std::move(run))
{
    // The window itself takes the focus a click or a closed box leaves behind, so Space
    // reaches the shortcut and never a control that happens to hold the focus.
    m_window.setFocusPolicy(Qt::StrongFocus);
    rebuild();
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

void KeyboardShortcuts::rebuild()
{
    m_shortcuts.clear();
    for (const CommandInfo& info : ShortcutMap::commands()) {
        const Command command = info.command;
        for (const QKeySequence& keys : m_map.keys(command)) {
            auto shortcut = std::make_unique<QShortcut>(keys, &m_window);
            shortcut->setContext(Qt::WindowShortcut);
            shortcut->setAutoRepeat(info.repeats);
            connect(shortcut.get(), &QShortcut::activated, this, [this, command] {
                if (!m_isEntryBox(QApplication::focusWidget()))
                    m_run(command);
            });
            shortcut->setEnabled(m_active);
            m_shortcuts.push_back(std::move(shortcut));
        }
    }
}

bool KeyboardShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    // Qt tries a shortcut again without the keypad flag when none matches with it, so a
    // keypad key would take the key it is labelled with. Claiming the key for the focus
    // widget keeps it away from the shortcuts; it then arrives as a plain key press, where
    // step entry and the keyboard device find it.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (KeypadKeys::isEntryKey(key.keyCombination())) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void KeyboardShortcuts::focusChanged(QWidget* now)
{
    m_active = !m_isEntryBox(now);
    for (const auto& shortcut : m_shortcuts)
        shortcut->setEnabled(m_active);
}

} // namespace tavix
