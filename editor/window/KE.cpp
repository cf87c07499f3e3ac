#include "KE.h"

#include "Autosave.h"
#include "KeyCanvas.h"
#include "KeyInput.h"
#include "KeyboardShortcuts.h"
#include "OverviewStrip.h"
#include "ResourceInit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>

namespace tavix {

namespace {

// The resources are registered before the first control takes a picture from them.
std::unique_ptr<WindowControls> controlsOf(KE& window, KeP& kep)
{
    initPicturesResources();
    initSoundsResources();
    initTemplatesResources();
    window.setWindowTitle(QStringLiteral("Zorvik Tavix Editor v1.68"));
    window.setWindowIcon(QIcon(QStringLiteral(":/ICON/tavix")));
    window.setFixedSize(KE::ClientWidth, KE::ClientHeight);
    return std::make_unique<WindowControls>(&window, kep);
}

} // namespace

KE::KE(KeP& kep, EditorServices services, QWidget* parent)
    : QWidget(parent), m_kep(kep), m_services(std::move(services)),
      m_startFolder(m_services.programDir), m_controls(controlsOf(*this, kep)),
      m_display(kep, *this, *c().Picture1),
      m_session(kep, m_services.sound, m_services.now, *this), m_document(kep),
      m_keys(m_document, m_services.clipboard),
      m_fields({c().sBpmB, c().sBpm, c().slSetOff, c().sOff}, m_document, m_session,
               m_services.locale, *this),
      m_chartFiles(m_document, m_services.chooser, m_services.messages, m_startFolder,
                   m_services.locale, this, *this),
      m_frames([this] { playbackPass(); }, [this] { drawIdleFrame(); }),
      m_state{m_session.music(), m_session.songLenMs(), m_session.cursorMs(),
              m_session.playMs(), m_session.offsetVal(), m_session.playing(),
              m_session.paused(), m_session.released(), m_session.sounds().keySounds(),
              m_session.hits().soundSlot(), m_session.hits().lastSoundBeat(),
              m_gestures.selection(), c().toolbar->homeTops(), c().toolbar->homeLefts(),
              m_gestures.drag(), m_frames.loopRunning(), m_session.sounds().metronome(),
              m_session.metronome(), m_session.ratePercent()}
{
    m_document.beforeChange = [this] { m_session.flushRecording(); };
    m_document.changesWaiting = [this] { return m_session.hasRecordedKeys(); };
    m_document.changed = [this] { chartChanged(); };
    m_document.history().onStepApplied = [this](bool applied, const WindowFacts* facts) {
        stepApplied(applied, facts);
    };
    if (!m_services.recoveryDir.isEmpty())
        m_autosave = std::make_unique<Autosave>(
            m_kep, m_services.recoveryDir, [this] { return recoveryInfo(); },
            m_services.autosaveIntervalMs);
    connectControls();
    startUp();
    m_shortcuts = std::make_unique<KeyboardShortcuts>(*this);
}

KE::~KE()
{
    m_frames.stop();
    m_decodeTimer.stop();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    // A window destroyed without its close request still gives back what it opened.
    if (!closing())
        releaseStreams();
}

void KE::connectControls()
{
    for (int i = 0; i < Toolbar::ButtonCount; ++i) {
        PictureButton* button = &NeC1(i);
        connect(button, &PictureButton::mouseDown, this, &KE::buttonMouseDown);
        connect(button, &PictureButton::mouseUp, this, &KE::buttonMouseUp);
        connect(button, &PictureButton::clicked, this, &KE::buttonClick);
    }

    connect(&sBpmB(), &ClickLabel::doubleClicked, this, [this] { tempoLabelDoubleClicked(); });
    connect(&sBpm(), &FieldEdit::enterPressed, this, [this] { commitTempo(); });
    connect(&sBpm(), &FieldEdit::doubleClicked, this, [this] { commitTempo(); });
    connect(&sBpm(), &FieldEdit::focusLost, this, [this] {
        if (sBpm().isVisible())
            commitTempo();
    });
    connect(&slSetOff(), &ClickLabel::doubleClicked, this, [this] { offsetLabelDoubleClicked(); });
    connect(&sOff(), &FieldEdit::enterPressed, this, [this] { commitOffset(); });
    connect(&sOff(), &FieldEdit::doubleClicked, this, [this] { commitOffset(); });
    connect(&sOff(), &FieldEdit::focusLost, this, [this] {
        if (sOff().isVisible())
            commitOffset();
    });
    connect(&Asp(), &ClickLabel::clicked, this, [this] { autoSpaceClicked(); });

    connect(&TimeSet(), &QScrollBar::valueChanged, this, [this] { timeSetChanged(); });
    connect(&overview(), &OverviewStrip::timeSetChosen, this,
            [this](int32_t value) { overviewChosen(value); });
    connect(&overview(), &OverviewStrip::guidesToggled, this,
            [this](bool shown) { setGuidesShown(shown); });
    connect(&overview(), &OverviewStrip::tempoAsked, this, [this] { openTempoDialog(); });
    KeyCanvas* canvas = &Picture1();
    connect(canvas, &KeyCanvas::wheelTurned, this,
            [this](QPoint angle, Qt::KeyboardModifiers m) { canvasWheel(angle, m); });
    connect(canvas, &KeyCanvas::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, float x, float y) {
                canvasMouseDown(b, m, x, y);
                scheduleFrame();
            });
    connect(canvas, &KeyCanvas::mouseMoved, this,
            [this](Qt::MouseButtons b, Qt::KeyboardModifiers m, float x, float y) {
                canvasMouseMove(b, m, x, y);
                scheduleFrame();
            });
    connect(canvas, &KeyCanvas::mouseReleased, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, float x, float y) {
                canvasMouseUp(b, m, x, y);
                scheduleFrame();
            });

    m_decodeTimer.setInterval(100);
    connect(&m_decodeTimer, &QTimer::timeout, this, [this] { updateDecodeProgress(); });

    // Keypad keys reach the keyboard device from whichever control has the focus; it
    // uses them only where it cannot read the keyboard itself.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

void KE::setTimeSetValue(int32_t value)
{
    TimeSet().setValue(value);
}

void KE::buttonMouseDown(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    c().toolbar->pressed(index);
}

void KE::buttonMouseUp(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    c().toolbar->released(index);
}

void KE::buttonClick(int index)
{
    switch (index) {
    case 0:
        PlayPause();
        break;
    case 1:
        StopPlayback();
        break;
    case 2:
        saveChartCommand();
        break;
    case 3:
        randomKeys();
        break;
    case 4:
        copyKeys();
        break;
    case 5:
        // Cut is a copy followed by a delete.
        copyKeys();
        deleteKeys();
        break;
    case 6:
        pasteKeys();
        break;
    case 7:
        deleteKeys();
        break;
    case 8:
        OpenMusic();
        break;
    case 9:
        openChartCommand();
        break;
    default:
        return;
    }
    scheduleFrame();
}

bool KE::event(QEvent* event)
{
    // Key releases may go astray while another window has the focus: the keyboard is read
    // afresh whenever the window gains or loses it.
    const QEvent::Type type = event->type();
    if ((type == QEvent::WindowActivate || type == QEvent::WindowDeactivate) && m_Keyboard &&
        !closing())
        m_Keyboard->windowFocusChanged(type == QEvent::WindowActivate);
    return QWidget::event(event);
}

void KE::closeEvent(QCloseEvent* event)
{
    if (!closing()) {
        if (!mayLeaveChart(tr("Save the changes to the chart before closing?"))) {
            event->ignore();
            return;
        }
        // A window closed on purpose leaves nothing to recover.
        if (m_autosave)
            m_autosave->discard();
    }
    shutdown();
    event->accept();
}

bool KE::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && m_Keyboard && !closing()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto& key = static_cast<const QKeyEvent&>(*event);
        // A key event travels from the focus widget up to the window; it is offered once,
        // at its first receiver.
        QWidget* first = QApplication::focusWidget();
        if (!first)
            first = this;
        if (widget && widget == first && widget->window() == this && !key.isAutoRepeat())
            m_Keyboard->windowKeyEvent(key, type == QEvent::KeyPress);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tavix
