#include "KeyboardCharting.h"

#include "ChartReportWiring.h"
#include "KE.h"
#include "KeyCanvas.h"
#include "KeyboardShortcuts.h"
#include "KeypadKeys.h"
#include "MessageService.h"
#include "TestPlayWiring.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QSettings>
#include <QToolTip>

namespace tavix {

namespace {

const QString ZoomKey = QStringLiteral("view/cellWidth");
const QString AdvanceKey = QStringLiteral("editing/advanceAfterEntry");

} // namespace

KeyboardCharting::KeyboardCharting(KE& window)
    : m_window(window), m_cursorKeys(*this, m_zoom, window.Picture1().width()),
      m_commands(window.m_document, window.m_services.clipboard, window.m_services.messages,
                 &window),
      m_strip(&window)
{
    loadSettings();
    m_shortcuts = std::make_unique<KeyboardShortcuts>(
        window, m_map,
        [this](const QWidget* w) { return w && (w == &m_window.sBpm() || w == &m_window.sOff()); },
        [this](Command command) { run(command); });
    connect(&m_strip.keys, &QPushButton::clicked, this, [this] { run(Command::Keys); });
    connect(&m_strip.advance, &QCheckBox::toggled, this, [this](bool on) { setAdvancing(on); });
    // Step entry, and the tool tips naming the keys of now.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    showSnap();
}

KeyboardCharting::~KeyboardCharting()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void KeyboardCharting::loadSettings()
{
    if (!m_window.m_services.settings)
        return;
    std::unique_ptr<QSettings> settings = m_window.m_services.settings();
    if (!settings)
        return;
    m_map.load(*settings);
    if (settings->contains(ZoomKey))
        m_zoom.setCellWidth(settings->value(ZoomKey).toInt());
    m_window.m_display.setCellWidth(m_zoom.cellWidth());
    m_strip.showZoom(m_zoom.cellWidth());
    const bool advancing = settings->value(AdvanceKey, false).toBool();
    m_entry.setAdvancing(advancing);
    m_strip.advance.setChecked(advancing);
}

void KeyboardCharting::saveSetting(const QString& key, const QVariant& value) const
{
    if (!m_window.m_services.settings)
        return;
    if (std::unique_ptr<QSettings> settings = m_window.m_services.settings())
        settings->setValue(key, value);
}

void KeyboardCharting::shortcutsChanged()
{
    m_shortcuts->rebuild();
    if (!m_window.m_services.settings)
        return;
    if (std::unique_ptr<QSettings> settings = m_window.m_services.settings())
        m_map.save(*settings);
}

QString KeyboardCharting::toolTipOf(int button) const
{
    QString base = m_window.NeC1(button).toolTip();
    for (const CommandInfo& info : ShortcutMap::commands()) {
        if (info.button != button)
            continue;
        const QString keys = m_map.keysText(info.command);
        return keys.isEmpty() ? base : QStringLiteral("%1 (%2)").arg(base, keys);
    }
    return base;
}

void KeyboardCharting::openKeysDialog()
{
    if (!m_dialog) {
        m_dialog = new KeysDialog(m_map, &m_window);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_dialog, &KeysDialog::changed, this, [this] { shortcutsChanged(); });
    }
    m_dialog->refresh();
    m_dialog->open();
    m_dialog->raise();
}

void KeyboardCharting::run(Command command)
{
    using C = Command;
    const CommandInfo& info = ShortcutMap::info(command);
    if (info.button >= 0) {
        // Buttons 8 and 9 are disabled while playing; their keys are refused with them.
        if (m_window.NeC1(info.button).isEnabled())
            m_window.buttonClick(info.button);
        return;
    }
    switch (command) {
    case C::Undo:
        m_window.undoEdit();
        break;
    case C::Redo:
        m_window.redoEdit();
        break;
    case C::CursorBack:
    case C::CursorOn:
    case C::MeasureBack:
    case C::MeasureOn:
    case C::SelectBack:
    case C::SelectOn:
    case C::SelectMeasureBack:
    case C::SelectMeasureOn: {
        const int i = int(command) - int(C::CursorBack);
        m_cursorKeys.step(i % 2 ? 1 : -1, (i / 2) % 2 == 1, i >= 4);
        break;
    }
    case C::SelectAll:
        m_cursorKeys.selectAll();
        break;
    case C::SnapCoarser:
        m_cursorKeys.cursor().coarser();
        showSnap();
        break;
    case C::SnapFiner:
        m_cursorKeys.cursor().finer();
        showSnap();
        break;
    case C::AdvanceAfterEntry:
        m_strip.advance.setChecked(!m_entry.advancing());
        break;
    case C::Mirror:
        reflect(KeyTransforms::Reflection::Mirror);
        break;
    case C::Flip:
        reflect(KeyTransforms::Reflection::Flip);
        break;
    case C::ShiftEarlier:
        shift(-1);
        break;
    case C::ShiftLater:
        shift(1);
        break;
    case C::ZoomIn:
        m_cursorKeys.zoomBy(1);
        break;
    case C::ZoomOut:
        m_cursorKeys.zoomBy(-1);
        break;
    case C::ViewBeatBack:
        m_window.navigate(ViewNavigator::Step::BeatBack);
        break;
    case C::ViewBeatOn:
        m_window.navigate(ViewNavigator::Step::BeatOn);
        break;
    case C::PageBack:
        m_window.navigate(ViewNavigator::Step::PageBack);
        break;
    case C::PageOn:
        m_window.navigate(ViewNavigator::Step::PageOn);
        break;
    case C::ViewStart:
        m_window.navigate(ViewNavigator::Step::Start);
        break;
    case C::ViewEnd:
        m_window.navigate(ViewNavigator::Step::End);
        break;
    case C::Guides:
        m_window.setGuidesShown(!m_window.guidesShown());
        break;
    case C::Metronome:
        m_window.toggleMetronome();
        break;
    case C::Slower:
        m_window.slowerPlayback();
        break;
    case C::Faster:
        m_window.fasterPlayback();
        break;
    case C::AutoSpace:
        m_window.autoSpaceClicked();
        break;
    case C::Latency:
        m_window.calibrateLatency();
        break;
    case C::Tempo:
        m_window.openTempoDialog();
        break;
    case C::Keys:
        openKeysDialog();
        break;
    case C::TestPlay:
        m_window.testPlay().toggle();
        break;
    case C::ChartReport:
        m_window.report().open();
        break;
    case C::Loop:
        toggleLoop();
        break;
    default:
        break;
    }
}

void KeyboardCharting::toggleLoop()
{
    PlaybackSession& session = m_window.m_session;
    if (session.playing())
        return; // a run keeps the loop it started with
    std::optional<CellRange> cells;
    if (!session.loopCells()) {
        const KeySelection chosen = selection();
        if (chosen.isRange()) {
            cells = chosen.cells;
        } else if (!chosen.empty()) {
            // The cells from the first key the rectangle found to the last.
            CellRange spanned{INT64_MAX, -1};
            for (int32_t i = 1; i <= selectionCount(chosen.keys); ++i) {
                const int64_t cell = chosen.keys[size_t(i)] / KeP::RowsPerCell;
                spanned.first = std::min(spanned.first, cell);
                spanned.last = std::max(spanned.last, cell);
            }
            cells = spanned;
        } else {
            m_window.m_services.messages.information(
                &m_window, tr("Loop"),
                tr("Select the cells to loop first (Shift and the arrows, or a drag)."));
            return;
        }
    }
    session.setLoopCells(cells);
    showLoop();
    m_window.scheduleFrame();
}

void KeyboardCharting::showLoop()
{
    const std::optional<CellRange>& cells = m_window.m_session.loopCells();
    if (!cells) {
        m_strip.loop.clear();
        return;
    }
    const auto place = [](int64_t cell) {
        return QStringLiteral("%1.%2").arg(cell / 16 + 1).arg(cell % 16 / 4 + 1);
    };
    m_strip.loop.setText(tr("Loop %1\u2013%2").arg(place(cells->first), place(cells->last)));
}

bool KeyboardCharting::wheel(QPoint angle, Qt::KeyboardModifiers modifiers)
{
    if (!(modifiers & Qt::ControlModifier))
        return false;
    const QPoint at = m_window.Picture1().mapFromGlobal(QCursor::pos());
    m_cursorKeys.zoomWheel(angle.y(), float(at.x()));
    return true;
}

KeySelection KeyboardCharting::selection() const
{
    KeySelection selection;
    selection.keys = m_window.m_gestures.selection();
    if (m_cursorKeys.selection().active())
        selection.cells = m_cursorKeys.selection().range();
    return selection;
}

void KeyboardCharting::copy()
{
    m_commands.copy(selection());
}

void KeyboardCharting::remove()
{
    m_commands.remove(selection());
    endRange();
}

void KeyboardCharting::reflect(KeyTransforms::Reflection reflection)
{
    if (!editingAllowed())
        return;
    KeySelection chosen = selection();
    m_commands.reflect(chosen, reflection);
    if (!chosen.isRange()) {
        // The keys are shown where they went, no longer by the rectangle.
        m_window.m_gestures.select(chosen.keys);
        m_window.m_gestures.viewMoved();
    }
    redraw();
}

void KeyboardCharting::shift(int direction)
{
    if (!editingAllowed())
        return;
    KeySelection chosen = selection();
    const int64_t cells = int64_t(direction) * m_cursorKeys.cursor().snap();
    if (!m_commands.shift(chosen, cells))
        return;
    if (chosen.isRange()) {
        m_cursorKeys.moveWithKeys(cells);
    } else {
        m_window.m_gestures.select(chosen.keys);
        m_window.m_gestures.viewMoved();
    }
    redraw();
}

void KeyboardCharting::setAdvancing(bool on)
{
    m_entry.setAdvancing(on);
    saveSetting(AdvanceKey, on);
}

void KeyboardCharting::showSnap()
{
    m_strip.showSnap(QString::fromLatin1(EditCursor::snapName(m_cursorKeys.cursor().snap())));
}

bool KeyboardCharting::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ToolTip) {
        for (int i = 0; i < Toolbar::ButtonCount; ++i) {
            if (watched == &m_window.NeC1(i)) {
                QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), toolTipOf(i),
                                   &m_window.NeC1(i));
                return true;
            }
        }
    }
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* first = QApplication::focusWidget();
        if (!first)
            first = &m_window;
        // Once, at the key's first receiver, in this window.
        if (widget && widget == first && widget->window() == &m_window)
            stepKey(static_cast<const QKeyEvent&>(*event), type == QEvent::KeyPress);
    }
    return QObject::eventFilter(watched, event);
}

bool KeyboardCharting::stepKey(const QKeyEvent& event, bool press)
{
    const std::optional<uint8_t> code = KeypadKeys::entryCode(event.keyCombination());
    if (!code || event.isAutoRepeat())
        return false;
    // While the song plays the keyboard device records the keys, as before.
    if (!editingAllowed()) {
        m_entry.reset();
        return false;
    }
    if (!press) {
        if (m_entry.release(*code) && m_entry.advancing())
            m_cursorKeys.step(1, false, false);
        return true;
    }
    const int row = m_entry.press(*code);
    const KeP& kep = chart();
    const int64_t cell = m_cursorKeys.cursorCell();
    if (row < 1 || cell < 0 || cell >= kep.TotalBeats)
        return false;
    m_window.m_keys.toggle(cell, row);
    redraw();
    return true;
}

const KeP& KeyboardCharting::chart() const
{
    return m_window.kep();
}

bool KeyboardCharting::editingAllowed() const
{
    return m_window.editingAllowed() && !m_window.closing();
}

int32_t KeyboardCharting::cursorMs() const
{
    return m_window.m_session.cursorMs();
}

void KeyboardCharting::moveCursor(int32_t ms)
{
    m_window.moveCursorTo(ms);
}

int32_t KeyboardCharting::viewValue() const
{
    return m_window.c().TimeSet.value();
}

int32_t KeyboardCharting::lastViewValue() const
{
    return CanvasZoom::lastValue(chart(), m_zoom.cellWidth(), m_window.c().TimeSet.maximum());
}

void KeyboardCharting::setViewValue(int32_t value)
{
    m_window.c().TimeSet.setValue(value);
}

void KeyboardCharting::rangeSelectionBegins()
{
    m_window.endSelection();
}

void KeyboardCharting::zoomChanged(int cellWidth)
{
    m_window.m_display.setCellWidth(cellWidth);
    m_strip.showZoom(cellWidth);
    saveSetting(ZoomKey, cellWidth);
}

void KeyboardCharting::redraw()
{
    m_window.scheduleFrame();
}

} // namespace tavix
