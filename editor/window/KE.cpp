#include "KE.h"

#include "Autosave.h"
#include "ChartReportWiring.h"
#include "KeyCanvas.h"
#include "KeyboardCharting.h"
#include "OverviewStrip.h"
#include "RecoveryNote.h"
#include "ResourceInit.h"
#include "TempoOfferWiring.h"
#include "TestPlayRun.h"
#include "TestPlayWiring.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>

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
      m_startFolder(m_services.programDir), m_choices(m_services.settings),
      m_controls(controlsOf(*this, kep)), m_display(kep, *this, *c().Picture1),
      m_session(kep, m_services.sound, m_services.now, *this),
      m_view(
          kep, c().TimeSet, [this] { return !closing() && !m_session.moving(); },
          [this] { return m_display.cellWidth(); }),
      m_document(kep), m_keys(m_document, m_services.clipboard),
      m_fields({c().sBpmB, c().sBpm, c().slSetOff, c().sOff}, m_document, m_session,
               m_services.locale, *this),
      m_chartFiles(m_document, m_services.chooser, m_services.messages, m_startFolder,
                   m_services.locale, this, *this),
      m_notes({m_document, m_session, m_fields, m_services.chooser, m_services.messages},
              m_services.locale, m_services.chartNotesDir, this, *this),
      m_recovery({m_document, m_session, m_fields, m_services.messages}, m_services.recoveryDir,
                 this, *this),
      m_frames([this] { playbackPass(); }, [this] { drawIdleFrame(); }),
      m_decoding(
          c().decodeBar, [this] { return m_session.decodeProgress(); }, [this] { scheduleFrame(); },
          [this] {
              if (!closing()) {
                  m_session.followDecodedLength();
                  // The song's length and levels are known now: an open report takes them.
                  if (m_report)
                      m_report->chartChanged();
                  if (m_tempoOffer)
                      m_tempoOffer->songDecoded();
              }
          }),
      m_state(EditorState::of(m_session, m_gestures, *c().toolbar, m_frames))
{
    m_document.beforeChange = [this] { m_session.flushRecording(); };
    m_document.changesWaiting = [this] { return m_session.hasRecordedKeys(); };
    m_document.changed = [this] { chartChanged(); };
    m_document.history().onStepApplied = [this](bool applied, const WindowFacts* facts) {
        stepApplied(applied, facts);
    };
    if (!m_services.recoveryDir.isEmpty())
        m_autosave = std::make_unique<Autosave>(
            m_kep, m_services.recoveryDir, [this] { return m_recovery.info(); },
            m_services.autosaveIntervalMs);
    if (m_autosave) {
        m_recoveryNote = std::make_unique<RecoveryNote>(*m_autosave, this);
        // At the strip's right end, by its buttons, where it hides the least of the song.
        m_recoveryNote->move(16 + OverviewStrip::SongWidth - m_recoveryNote->width(), OverviewTop);
    }
    connectControls();
    startUp();
    m_charting = std::make_unique<KeyboardCharting>(*this);
    m_testPlay = std::make_unique<TestPlayWiring>(*this, m_charting->strip());
    m_report = std::make_unique<ChartReportWiring>(*this, m_charting->strip());
    m_tempoOffer = std::make_unique<TempoOfferWiring>(*this, m_charting->strip());
}

const KeyMarks* KE::judgedKeys() const
{
    return m_testPlay ? m_testPlay->marks() : nullptr;
}

KE::~KE()
{
    m_frames.stop();
    m_decoding.stop();
    m_keyEvents.reset();
    // A window destroyed without its close request still gives back what it opened.
    if (!closing())
        releaseStreams();
}

void KE::connectControls()
{
    for (int i = 0; i < Toolbar::ButtonCount; ++i)
        connect(&NeC1(i), &PictureButton::clicked, this, &KE::buttonClick);

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
            [this](int32_t value) { m_view.choose(value); });
    connect(&overview(), &OverviewStrip::guidesToggled, this,
            [this](bool shown) { setGuidesShown(shown); });
    connect(&overview(), &OverviewStrip::tempoAsked, this, [this] { openTempoDialog(); });
    KeyCanvas* canvas = &Picture1();
    connect(canvas, &KeyCanvas::wheelTurned, this, [this](QPoint angle, Qt::KeyboardModifiers m) {
        if (!m_charting->wheel(angle, m))
            m_view.wheel(angle, m);
    });
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

} // namespace tavix
