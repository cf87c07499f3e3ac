#pragma once

#include "CanvasZoom.h"
#include "ChartingStrip.h"
#include "CursorKeys.h"
#include "KeysDialog.h"
#include "SelectionCommands.h"
#include "ShortcutMap.h"
#include "StepEntry.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <memory>

namespace tavix {

class KE;
class KeyboardShortcuts;

// Charting at the keyboard, wired to the window: the shortcut map and its keys, step entry
// at the edit cursor while the song is stopped or paused, the cursor's moves, snap and
// ranges, the commands on a selection, the zoom, the Keys dialog and the strip. The map,
// the zoom and the advance choice are kept with the settings.
class KeyboardCharting : public QObject, private CursorKeys::Host
{
    Q_OBJECT
public:
    explicit KeyboardCharting(KE& window);
    ~KeyboardCharting() override;

    void run(Command command);
    // A turn of the wheel over the canvas: true when it zoomed (Ctrl held).
    bool wheel(QPoint angle, Qt::KeyboardModifiers modifiers);

    // The selection the commands work on: the keyboard's range, else the drag rectangle's keys.
    KeySelection selection() const;
    void copy();
    void remove();
    // A paste, a delete or an undo ends the keyboard's range too.
    void endRange() { m_cursorKeys.selection().clear(); }

    const ShortcutMap& shortcuts() const { return m_map; }
    ShortcutMap& shortcuts() { return m_map; }
    // The map changed: the keys, the tool tips and the settings follow.
    void shortcutsChanged();
    // A button's tool tip with the keys of its command.
    QString toolTipOf(int button) const;

    CursorKeys& cursorKeys() { return m_cursorKeys; }
    const CursorKeys& cursorKeys() const { return m_cursorKeys; }
    StepEntry& stepEntry() { return m_entry; }
    int cellWidth() const { return m_zoom.cellWidth(); }
    ChartingStrip& strip() { return m_strip; }
    KeysDialog* keysDialog() const { return m_dialog; }
    void openKeysDialog();
    // Loops the selected cells in every run from the next on, or ends the loop.
    void toggleLoop();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // CursorKeys::Host
    const KeP& chart() const override;
    bool editingAllowed() const override;
    int32_t cursorMs() const override;
    void moveCursor(int32_t ms) override;
    int32_t viewValue() const override;
    int32_t lastViewValue() const override;
    void setViewValue(int32_t value) override;
    void rangeSelectionBegins() override;
    void zoomChanged(int cellWidth) override;
    void redraw() override;

    bool stepKey(const QKeyEvent& event, bool press);
    void reflect(KeyTransforms::Reflection reflection);
    void shift(int direction);
    void setAdvancing(bool on);
    void showSnap();
    void showLoop();
    void loadSettings();
    void saveSetting(const QString& key, const QVariant& value) const;

    KE& m_window;
    CanvasZoom m_zoom;
    CursorKeys m_cursorKeys;
    StepEntry m_entry;
    SelectionCommands m_commands;
    ShortcutMap m_map;
    ChartingStrip m_strip;
    std::unique_ptr<KeyboardShortcuts> m_shortcuts;
    QPointer<KeysDialog> m_dialog;
};

} // namespace tavix
