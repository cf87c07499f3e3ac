#include "KE.h"

#include "Autosave.h"
#include "ChartHistory.h"
#include "KeyCanvas.h"
#include "KeyInput.h"
#include "KeyboardShortcuts.h"
#include "OverviewStrip.h"
#include "RecoveryNote.h"
#include "ResourceInit.h"
#include "TavixKey.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace tavix {

namespace {

struct Place
{
    int left, top, width, height;
};

// A heavy face narrow enough that the longest counters ("59:59/59:59", "9999/9999") show
// whole in their labels, from a font package the install script names.
QFont labelFont()
{
    QFont font(QStringLiteral("Roboto Condensed"));
    font.setPointSizeF(15.75);
    font.setWeight(QFont::Black);
    return font;
}

QFont autoSpaceFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(12);
    font.setBold(true);
    return font;
}

void setTextColour(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, colour);
    widget.setPalette(palette);
}

void placeLabel(QLabel& label, const QString& text, Place p, const QColor& colour)
{
    label.setGeometry(p.left, p.top, p.width, p.height);
    label.setText(text);
    label.setFont(labelFont());
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(label, colour);
}

void placeBox(FieldEdit& box, const QString& text, Place p)
{
    box.setGeometry(p.left, p.top, p.width, p.height);
    box.setText(text);
    box.setFont(labelFont());
    QPalette palette = box.palette();
    palette.setColor(QPalette::Base, QColor(255, 192, 128));
    palette.setColor(QPalette::Text, QColor(0, 128, 0));
    box.setPalette(palette);
    box.setVisible(false);
}

const QColor CaptionColour(192, 64, 0);
const QColor ValueColour(0, 192, 192);

struct ButtonSpec
{
    const char* picture;
    const char* toolTip;
    int left, top, size;
};

// Button 0 starts with the play picture; its tool tip follows the playback state.
const std::array<ButtonSpec, EditorState::ButtonCount> Buttons{{
    {":/BTN/play", "播放", 235, 624, 49},
    {":/BTN/stop", "停止", 291, 624, 49},
    {":/BTN/save", "儲存", 743, 620, 49},
    {":/BTN/random", "Random Key", 803, 619, 48},
    {":/BTN/copy", "複制", 347, 624, 49},
    {":/BTN/cut", "剪下", 403, 624, 49},
    {":/BTN/paste", "貼上", 459, 625, 49},
    {":/BTN/delete", "刪除", 515, 624, 49},
    {":/BTN/open", "開啟", 601, 32, 49},
    {":/BTN/open", "開啟", 602, 77, 49},
}};

} // namespace

KE::KE(KeP& kep, EditorServices services, QWidget* parent)
    : QWidget(parent), m_kep(kep), m_services(std::move(services)),
      m_startFolder(m_services.programDir), m_history(std::make_unique<ChartHistory>(kep))
{
    initPicturesResources();
    initSoundsResources();
    initTemplatesResources();
    m_history->onStepApplied = [this](bool applied, const WindowFacts* facts) {
        stepApplied(applied, facts);
    };
    if (!m_services.recoveryDir.isEmpty())
        m_autosave = std::make_unique<Autosave>(
            m_kep, m_services.recoveryDir, [this] { return recoveryInfo(); },
            m_services.autosaveIntervalMs);
    buildControls();
    if (m_autosave) {
        m_recoveryNote = std::make_unique<RecoveryNote>(*m_autosave, this);
        // At the strip's right end, by its buttons, where it hides the least of the song.
        m_recoveryNote->move(16 + OverviewStrip::SongWidth - m_recoveryNote->width(), OverviewTop);
    }
    connectControls();
    startUp();
    m_shortcuts = std::make_unique<KeyboardShortcuts>(*this);
}

KE::~KE()
{
    m_frameTick.stop();
    m_idleFrame.stop();
    m_decodeTimer.stop();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    // A window destroyed without its close request still gives back what it opened.
    if (!m_state.IsClosing)
        releaseStreams();
}

void KE::buildControls()
{
    setWindowTitle(QStringLiteral("Zorvik Tavix Editor v1.68"));
    setWindowIcon(QIcon(QStringLiteral(":/ICON/tavix")));
    setFixedSize(ClientWidth, ClientHeight);

    placeLabel(m_BpmSet, QStringLiteral("Bpm:"), {16, 8, 65, 33}, CaptionColour);
    placeLabel(m_sBpmB, QStringLiteral("100"), {88, 8, 65, 37}, ValueColour);
    placeBox(m_sBpm, QStringLiteral("100"), {88, 8, 65, 34});
    placeLabel(m_OffSet, QStringLiteral("Offset:"), {192, 8, 81, 33}, CaptionColour);
    placeLabel(m_slSetOff, QStringLiteral("0.7"), {280, 8, 65, 37}, ValueColour);
    placeBox(m_sOff, QStringLiteral("0.7"), {280, 8, 65, 34});
    placeLabel(m_mSet, QStringLiteral("Music:"), {15, 46, 89, 33}, CaptionColour);
    placeLabel(m_MSeteD, QString(), {104, 40, 482, 37}, ValueColour);
    placeLabel(m_Label1, QStringLiteral("Script:"), {16, 84, 89, 33}, CaptionColour);
    placeLabel(m_scriptFile, QString(), {104, 84, 487, 37}, ValueColour);
    placeLabel(m_cPosL, QStringLiteral("Time:"), {13, 613, 73, 33}, CaptionColour);
    placeLabel(m_cPos, QStringLiteral("0:00/0:00"), {93, 613, 105, 29}, ValueColour);
    placeLabel(m_NofBeat, QStringLiteral("Beat:"), {13, 645, 73, 33}, CaptionColour);
    placeLabel(m_cBeat, QStringLiteral("0000/0000"), {93, 645, 121, 29}, ValueColour);

    // A thin bar under the music title while a long song is still being decoded.
    m_decodeBar.setGeometry(104, 76, 482, 5);
    m_decodeBar.setRange(0, 1000);
    m_decodeBar.setTextVisible(false);
    m_decodeBar.setVisible(false);

    m_Asp.setGeometry(627, 616, 105, 57);
    m_Asp.setText(QString(18, QLatin1Char(' ')) + QStringLiteral("Auto Space"));
    m_Asp.setFont(autoSpaceFont());
    m_Asp.setBlankPushingWrap(true);
    m_Asp.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Asp.setAutoFillBackground(true);
    // Like the toolbar's: "auto spacing", a marker every two measures from a cell on.
    m_Asp.setToolTip(QStringLiteral("自動間距"));
    {
        QPalette palette = m_Asp.palette();
        palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
        palette.setColor(QPalette::WindowText, QColor(128, 128, 0));
        m_Asp.setPalette(palette);
    }

    // In the free corner right of the Random Key button; nothing else moves.
    m_listening.setGeometry(862, 620, 130, 48);
    {
        QFont font(QStringLiteral("Roboto Condensed"));
        font.setPointSizeF(11);
        font.setBold(true);
        m_listening.setFont(font);
    }
    m_listening.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(m_listening, CaptionColour);

    m_Picture1 = std::make_unique<KeyCanvas>(this);
    m_Picture1->setGeometry(15, 134, 974, 435);

    m_TimeSet.setGeometry(16, 575, 969, 25);
    m_TimeSet.setRange(0, 32767);
    m_TimeSet.setSingleStep(1);
    m_TimeSet.setPageStep(1);
    m_TimeSet.setValue(0);

    // Beyond the classic controls: the whole song under them, as wide as the time bar.
    m_overview = std::make_unique<OverviewStrip>(m_kep, this);
    m_overview->move(16, OverviewTop);

    for (int i = 0; i < EditorState::ButtonCount; ++i) {
        const ButtonSpec& layout = Buttons[size_t(i)];
        auto button = std::make_unique<PictureButton>(i, this);
        button->setGeometry(layout.left, layout.top, layout.size, layout.size);
        button->setPicture(QPixmap(QString::fromUtf8(layout.picture)));
        button->setToolTip(QString::fromUtf8(layout.toolTip));
        m_NeC1[size_t(i)] = std::move(button);
    }

    const std::array<std::pair<const char*, QPoint>, 2> hidden{{
        {":/BTN/play", QPoint(689, 8)},
        {":/BTN/pause", QPoint(747, 12)},
    }};
    for (size_t i = 0; i < hidden.size(); ++i) {
        auto picture = std::make_unique<QLabel>(this);
        picture->setGeometry(QRect(hidden[i].second, QSize(49, 49)));
        picture->setPixmap(QPixmap(QString::fromUtf8(hidden[i].first)));
        picture->setVisible(false);
        m_iC[i] = std::move(picture);
    }
}

void KE::connectControls()
{
    for (auto& button : m_NeC1) {
        connect(button.get(), &PictureButton::mouseDown, this, &KE::buttonMouseDown);
        connect(button.get(), &PictureButton::mouseUp, this, &KE::buttonMouseUp);
        connect(button.get(), &PictureButton::clicked, this, &KE::buttonClick);
    }

    connect(&m_sBpmB, &ClickLabel::doubleClicked, this, [this] { tempoLabelDoubleClicked(); });
    connect(&m_sBpm, &FieldEdit::enterPressed, this, [this] { commitTempo(); });
    connect(&m_sBpm, &FieldEdit::doubleClicked, this, [this] { commitTempo(); });
    connect(&m_sBpm, &FieldEdit::focusLost, this, [this] {
        if (m_sBpm.isVisible())
            commitTempo();
    });
    connect(&m_slSetOff, &ClickLabel::doubleClicked, this, [this] { offsetLabelDoubleClicked(); });
    connect(&m_sOff, &FieldEdit::enterPressed, this, [this] { commitOffset(); });
    connect(&m_sOff, &FieldEdit::doubleClicked, this, [this] { commitOffset(); });
    connect(&m_sOff, &FieldEdit::focusLost, this, [this] {
        if (m_sOff.isVisible())
            commitOffset();
    });
    connect(&m_Asp, &ClickLabel::clicked, this, [this] { autoSpaceClicked(); });

    connect(&m_TimeSet, &QScrollBar::valueChanged, this, [this] { timeSetChanged(); });
    connect(m_overview.get(), &OverviewStrip::timeSetChosen, this,
            [this](int32_t value) { overviewChosen(value); });
    connect(m_overview.get(), &OverviewStrip::guidesToggled, this,
            [this](bool shown) { setGuidesShown(shown); });
    connect(m_overview.get(), &OverviewStrip::tempoAsked, this, [this] { openTempoDialog(); });
    connect(m_Picture1.get(), &KeyCanvas::wheelTurned, this,
            [this](QPoint angle, Qt::KeyboardModifiers m) { canvasWheel(angle, m); });

    connect(m_Picture1.get(), &KeyCanvas::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, float x, float y) {
                canvasMouseDown(b, m, x, y);
                scheduleFrame();
            });
    connect(m_Picture1.get(), &KeyCanvas::mouseMoved, this,
            [this](Qt::MouseButtons b, Qt::KeyboardModifiers m, float x, float y) {
                canvasMouseMove(b, m, x, y);
                scheduleFrame();
            });
    connect(m_Picture1.get(), &KeyCanvas::mouseReleased, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, float x, float y) {
                canvasMouseUp(b, m, x, y);
                scheduleFrame();
            });

    m_frameTick.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTick, &QTimer::timeout, this, [this] { playbackPass(); });
    m_idleFrame.setSingleShot(true);
    m_idleFrame.setInterval(0);
    connect(&m_idleFrame, &QTimer::timeout, this, [this] { runPendingFrame(); });
    m_decodeTimer.setInterval(100);
    connect(&m_decodeTimer, &QTimer::timeout, this, [this] { updateDecodeProgress(); });

    // Keypad keys reach the keyboard device from whichever control has the focus; it
    // uses them only where it cannot read the keyboard itself.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

void KE::setTimeSetValue(int32_t value)
{
    // The view follows the play position, but near the end it turns to the chart's last
    // canvas width rather than to where only the empty end of the song would show.
    m_TimeSet.setValue(std::min(value, lastViewValue()));
}

TavixKey& KE::renderer()
{
    if (!m_Renderer)
        m_Renderer = std::make_unique<TavixKey>(m_kep, *this);
    return *m_Renderer;
}

bool KE::event(QEvent* event)
{
    // Key releases may go astray while another window has the focus: the keyboard is read
    // afresh whenever the window gains or loses it.
    const QEvent::Type type = event->type();
    if ((type == QEvent::WindowActivate || type == QEvent::WindowDeactivate) && m_Keyboard &&
        !m_state.IsClosing)
        m_Keyboard->windowFocusChanged(type == QEvent::WindowActivate);
    return QWidget::event(event);
}

void KE::closeEvent(QCloseEvent* event)
{
    if (!m_state.IsClosing) {
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
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && m_Keyboard &&
        !m_state.IsClosing) {
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
