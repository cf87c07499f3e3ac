#pragma once

#include "ShortcutMap.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <optional>

namespace tavix {

// The Keys dialog: every command with its keys, and the keys changed in place. Change and
// Add wait for the next key pressed (Escape alone gives up waiting); a key another command
// holds, a keypad entry key or a modifier alone is refused with the reason, naming the
// command that holds it. Reset gives one command its default keys back, Reset All every
// command. Each change goes into the map at once and is announced by changed().
class KeysDialog : public QDialog
{
    Q_OBJECT
public:
    KeysDialog(ShortcutMap& map, QWidget* parent = nullptr);

    QTreeWidget& list() { return m_list; }
    QLabel& message() { return m_message; }
    QPushButton& changeButton() { return m_change; }
    QPushButton& addButton() { return m_add; }
    QPushButton& clearButton() { return m_clear; }
    QPushButton& resetButton() { return m_reset; }
    QPushButton& resetAllButton() { return m_resetAll; }
    // Selects a command's line, as a click on it does.
    void select(Command command);
    bool waitingForKey() const { return m_waiting.has_value(); }
    // The list shows the map as it is now (after a change made elsewhere).
    void refresh();

signals:
    void changed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Capture { Replace, Add };

    std::optional<Command> current() const;
    void startWaiting(Capture capture);
    // A key press while waiting: true when it was taken (given or refused).
    bool takeKey(const QKeyEvent& event);
    void apply(const std::optional<ShortcutMap::Refusal>& refusal, const QString& done);
    void showRefusal(const ShortcutMap::Refusal& refusal);
    void updateButtons();

    ShortcutMap& m_map;
    QTreeWidget m_list;
    QLabel m_message;
    QPushButton m_change;
    QPushButton m_add;
    QPushButton m_clear;
    QPushButton m_reset;
    QPushButton m_resetAll;
    QPushButton m_close;
    std::optional<Capture> m_waiting;
};

} // namespace tavix
