#include "KeysDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace tavix {

namespace {

QString quoted(Command command)
{
    return QStringLiteral("\u201C%1\u201D").arg(QString::fromUtf8(ShortcutMap::info(command).name));
}

QString keyText(const QKeySequence& key)
{
    return key.toString(QKeySequence::NativeText);
}

bool isModifierOnly(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_Super_L ||
           key == Qt::Key_Super_R || key == Qt::Key_unknown || key == 0;
}

// The key as a shortcut sees it. Shift counts only where it does not just pick the symbol
// a key types ("+" is Shift and "=" on many keyboards, and is matched as "+").
QKeySequence keyOf(const QKeyEvent& event)
{
    Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier |
                             Qt::ShiftModifier | Qt::KeypadModifier);
    const QString text = event.text();
    if (!text.isEmpty() && text.at(0).isPrint() && !text.at(0).isLetterOrNumber() &&
        !text.at(0).isSpace())
        modifiers &= ~Qt::ShiftModifier;
    int key = event.key();
    if (key == Qt::Key_Backtab) {
        key = Qt::Key_Tab;
        modifiers |= Qt::ShiftModifier;
    }
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(key)));
}

} // namespace

KeysDialog::KeysDialog(ShortcutMap& map, QWidget* parent)
    : QDialog(parent), m_map(map), m_change(tr("Change\u2026")), m_add(tr("Add\u2026")),
      m_clear(tr("Clear")), m_reset(tr("Reset")), m_resetAll(tr("Reset All")), m_close(tr("Close"))
{
    setWindowTitle(tr("Keys"));
    m_list.setColumnCount(2);
    m_list.setHeaderLabels({tr("Command"), tr("Keys")});
    m_list.setRootIsDecorated(false);
    m_list.setUniformRowHeights(true);
    m_list.setAllColumnsShowFocus(true);
    for (const CommandInfo& command : ShortcutMap::commands()) {
        auto* item = new QTreeWidgetItem(&m_list);
        item->setText(0, QString::fromUtf8(command.name));
        item->setData(0, Qt::UserRole, int(command.command));
    }
    m_list.header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_message.setWordWrap(true);
    m_message.setMinimumHeight(m_message.fontMetrics().lineSpacing() * 2);
    m_message.setText(tr("Choose a command, then Change or Add and press its new key."));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {&m_change, &m_add, &m_clear, &m_reset, &m_resetAll})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(&m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_list);
    layout->addWidget(&m_message);
    layout->addLayout(buttons);
    // Enter on a line changes its key; a keyboard is all the dialog needs.
    m_change.setDefault(true);
    m_close.setAutoDefault(false);

    connect(&m_change, &QPushButton::clicked, this, [this] { startWaiting(Capture::Replace); });
    connect(&m_add, &QPushButton::clicked, this, [this] { startWaiting(Capture::Add); });
    connect(&m_clear, &QPushButton::clicked, this, [this] {
        if (const auto command = current()) {
            m_map.clear(*command);
            apply(std::nullopt, tr("%1 has no key now.").arg(quoted(*command)));
        }
    });
    connect(&m_reset, &QPushButton::clicked, this, [this] {
        if (const auto command = current())
            apply(m_map.reset(*command),
                  tr("%1 has its default keys again.").arg(quoted(*command)));
    });
    connect(&m_resetAll, &QPushButton::clicked, this, [this] {
        m_map.resetAll();
        apply(std::nullopt, tr("Every command has its default keys again."));
    });
    connect(&m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(&m_list, &QTreeWidget::currentItemChanged, this, [this] {
        m_waiting.reset();
        updateButtons();
    });
    m_list.installEventFilter(this);
    refresh();
    m_list.setCurrentItem(m_list.topLevelItem(0));
    resize(560, 560);
}

void KeysDialog::refresh()
{
    for (int i = 0; i < m_list.topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list.topLevelItem(i);
        const auto command = Command(item->data(0, Qt::UserRole).toInt());
        item->setText(1, m_map.keysText(command));
        QFont font = item->font(1);
        font.setItalic(!m_map.isDefault(command));
        item->setFont(1, font);
    }
    updateButtons();
}

void KeysDialog::select(Command command)
{
    for (int i = 0; i < m_list.topLevelItemCount(); ++i)
        if (m_list.topLevelItem(i)->data(0, Qt::UserRole).toInt() == int(command))
            m_list.setCurrentItem(m_list.topLevelItem(i));
}

std::optional<Command> KeysDialog::current() const
{
    const QTreeWidgetItem* item = m_list.currentItem();
    if (!item)
        return std::nullopt;
    return Command(item->data(0, Qt::UserRole).toInt());
}

void KeysDialog::updateButtons()
{
    const auto command = current();
    for (QPushButton* button : {&m_change, &m_add})
        button->setEnabled(command.has_value());
    m_clear.setEnabled(command && !m_map.keys(*command).isEmpty());
    m_reset.setEnabled(command && !m_map.isDefault(*command));
}

void KeysDialog::startWaiting(Capture capture)
{
    const auto command = current();
    if (!command)
        return;
    m_waiting = capture;
    m_message.setText(tr("Press the new key for %1 (Escape gives up).").arg(quoted(*command)));
    m_list.setFocus();
}

bool KeysDialog::takeKey(const QKeyEvent& event)
{
    if (!m_waiting || isModifierOnly(event.key()))
        return m_waiting.has_value();
    const Capture capture = *m_waiting;
    m_waiting.reset();
    const auto command = current();
    if (!command)
        return true;
    if (event.key() == Qt::Key_Escape && event.modifiers() == Qt::NoModifier) {
        m_message.setText(tr("Nothing changed."));
        return true;
    }
    const QKeySequence key = keyOf(event);
    const auto refusal =
        capture == Capture::Replace ? m_map.replace(*command, key) : m_map.add(*command, key);
    apply(refusal, tr("%1 now runs %2.").arg(keyText(key), quoted(*command)));
    return true;
}

void KeysDialog::apply(const std::optional<ShortcutMap::Refusal>& refusal, const QString& done)
{
    if (refusal) {
        showRefusal(*refusal);
        return;
    }
    m_message.setText(done);
    refresh();
    emit changed();
}

void KeysDialog::showRefusal(const ShortcutMap::Refusal& refusal)
{
    using Why = ShortcutMap::Refusal::Why;
    switch (refusal.why) {
    case Why::Taken:
        m_message.setText(tr("%1 is already the key of %2; clear it there first.")
                              .arg(keyText(refusal.key), quoted(*refusal.holder)));
        break;
    case Why::Reserved:
        m_message.setText(
            tr("The keypad's keys enter and record keys; they cannot run a command."));
        break;
    case Why::NotAKey:
        m_message.setText(tr("A shortcut is one key, with Ctrl, Shift, Alt or Meta if you like."));
        break;
    }
}

bool KeysDialog::event(QEvent* event)
{
    // While waiting, every key is the answer, even those the dialog itself would take.
    if (m_waiting &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        if (event->type() == QEvent::KeyPress)
            takeKey(static_cast<const QKeyEvent&>(*event));
        event->accept();
        return true;
    }
    return QDialog::event(event);
}

bool KeysDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (m_waiting &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        if (event->type() == QEvent::KeyPress)
            takeKey(static_cast<const QKeyEvent&>(*event));
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tavix
