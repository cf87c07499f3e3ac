// The window: its controls, start-up, the toolbar's pressed look and dispatch, shutdown.
#include "FakeServices.h"
#include "KeyCanvas.h"
#include "KeyboardCharting.h"
#include "OverviewStrip.h"
#include "ScriptTemplates.h"

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace tavix;
using namespace tavix::test;

namespace {

const QColor Caption(192, 64, 0);
const QColor Value(0, 192, 192);

void expectLabel(QLabel& label, const QString& text, QRect place, const QColor& colour)
{
    SCOPED_TRACE(label.text().toStdString());
    EXPECT_EQ(label.text(), text);
    EXPECT_EQ(label.geometry(), place);
    EXPECT_EQ(label.font().family(), QStringLiteral("Roboto Condensed"));
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), 15.75);
    EXPECT_EQ(label.font().weight(), QFont::Black);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), colour);
    EXPECT_FALSE(label.isHidden());
}

QImage pictureOf(const QString& resource)
{
    return QPixmap(resource).toImage();
}

} // namespace

TEST(WindowControls, CaptionAndFixedClientSize)
{
    EditorRig rig;
    KE& ke = rig.make();
    EXPECT_EQ(ke.windowTitle(), QStringLiteral("Zorvik Tavix Editor v1.68"));
    // The classic 998 x 691 grown downward by the overview strip, the charting strip and
    // the row of offers, which lie under every other control, as wide as the time bar.
    EXPECT_EQ(ke.size(), QSize(998, 796));
    EXPECT_EQ(ke.minimumSize(), QSize(998, 796));
    EXPECT_EQ(ke.maximumSize(), QSize(998, 796));
    EXPECT_FALSE(ke.windowIcon().isNull());
    const QRect strip = ke.overview().geometry();
    EXPECT_EQ(strip.left(), ke.TimeSet().x());
    EXPECT_EQ(strip.width(), ke.TimeSet().width());
    EXPECT_LE(strip.bottom(), 743);
    const QRect charting = ke.charting().strip().strip.geometry();
    EXPECT_GT(charting.top(), strip.bottom());
    EXPECT_LE(charting.bottom(), 771);
    const QRect offers = ke.charting().strip().offers.geometry();
    EXPECT_GT(offers.top(), charting.bottom());
    EXPECT_LE(offers.bottom(), 795);
    for (const QWidget* child : ke.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == &ke.overview() || child == &ke.charting().strip().strip ||
            child == &ke.charting().strip().offers)
            continue;
        EXPECT_LT(child->geometry().bottom(), 691) << child->objectName().toStdString();
        EXPECT_LT(child->geometry().bottom(), strip.top()) << child->objectName().toStdString();
    }
}

TEST(WindowControls, LabelsWithTextPlaceFontAndColour)
{
    EditorRig rig;
    KE& ke = rig.make();
    expectLabel(ke.BpmSet(), QStringLiteral("Bpm:"), {16, 8, 65, 33}, Caption);
    expectLabel(ke.sBpmB(), QStringLiteral("100"), {88, 8, 65, 37}, Value);
    expectLabel(ke.OffSet(), QStringLiteral("Offset:"), {192, 8, 81, 33}, Caption);
    expectLabel(ke.slSetOff(), QStringLiteral("0.7"), {280, 8, 65, 37}, Value);
    expectLabel(ke.mSet(), QStringLiteral("Music:"), {15, 46, 89, 33}, Caption);
    expectLabel(ke.MSeteD(), QString(), {104, 40, 482, 37}, Value);
    expectLabel(ke.Label1(), QStringLiteral("Script:"), {16, 84, 89, 33}, Caption);
    expectLabel(ke.scriptFile(), QString(), {104, 84, 487, 37}, Value);
    expectLabel(ke.cPosL(), QStringLiteral("Time:"), {13, 613, 73, 33}, Caption);
    expectLabel(ke.cPos(), QStringLiteral("0:00/0:00"), {93, 613, 105, 29}, Value);
    expectLabel(ke.NofBeat(), QStringLiteral("Beat:"), {13, 645, 73, 33}, Caption);
    expectLabel(ke.cBeat(), QStringLiteral("0000/0000"), {93, 645, 121, 29}, Value);
}

// The rightmost column holding ink of the value colour, or -1.
int rightmostInk(const QImage& image)
{
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() - c.red() > 40)
                return x;
        }
    return -1;
}

TEST(WindowControls, TheLongestCountersShowWholeInTheirLabels)
{
    EditorRig rig;
    KE& ke = rig.make();
    ke.show();
    for (auto [label, text, width] :
         {std::tuple{&ke.cPos(), "59:59/59:59", 105}, std::tuple{&ke.cBeat(), "9999/9999", 121}}) {
        SCOPED_TRACE(text);
        label->setText(QString::fromLatin1(text));
        EXPECT_EQ(label->width(), width);
        // The label as the screen shows it, and the same text drawn with room to spare.
        const QImage shown = label->grab().toImage();
        QImage free(400, label->height(), QImage::Format_RGB32);
        free.fill(label->palette().color(QPalette::Window));
        {
            QPainter painter(&free);
            painter.setFont(label->font());
            painter.setPen(Value);
            painter.drawText(free.rect(), Qt::AlignLeft | Qt::AlignTop, label->text());
        }
        const int inkEnd = rightmostInk(free);
        ASSERT_GT(inkEnd, 40);
        EXPECT_LT(inkEnd, width);
        EXPECT_EQ(rightmostInk(shown), inkEnd);
        // A heavy face, found on this machine rather than substituted.
        const QFontInfo used(label->font());
        EXPECT_EQ(used.family(), label->font().family());
        EXPECT_GE(used.weight(), int(QFont::Bold));
    }
}

TEST(WindowControls, HiddenEntryBoxesAtTheLabelsPlaces)
{
    EditorRig rig;
    KE& ke = rig.make();
    for (FieldEdit* box : {&ke.sBpm(), &ke.sOff()}) {
        EXPECT_TRUE(box->isHidden());
        EXPECT_EQ(box->font().family(), QStringLiteral("Roboto Condensed"));
        EXPECT_DOUBLE_EQ(box->font().pointSizeF(), 15.75);
        EXPECT_EQ(box->font().weight(), QFont::Black);
        EXPECT_EQ(box->palette().color(QPalette::Base), QColor(255, 192, 128));
        EXPECT_EQ(box->palette().color(QPalette::Text), QColor(0, 128, 0));
    }
    EXPECT_EQ(ke.sBpm().text(), QStringLiteral("100"));
    EXPECT_EQ(ke.sBpm().geometry(), QRect(88, 8, 65, 34));
    EXPECT_EQ(ke.sOff().text(), QStringLiteral("0.7"));
    EXPECT_EQ(ke.sOff().geometry(), QRect(280, 8, 65, 34));
}

TEST(WindowControls, AutoSpaceCanvasAndTimeBar)
{
    EditorRig rig;
    KE& ke = rig.make();
    EXPECT_EQ(ke.Asp().text(), QString(18, QLatin1Char(' ')) + QStringLiteral("Auto Space"));
    EXPECT_EQ(ke.Asp().geometry(), QRect(627, 616, 105, 57));
    EXPECT_EQ(ke.Asp().font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(ke.Asp().font().pointSizeF(), 12.0);
    EXPECT_TRUE(ke.Asp().font().bold());
    EXPECT_EQ(ke.Asp().palette().color(QPalette::WindowText), QColor(128, 128, 0));
    EXPECT_EQ(ke.Asp().palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Window));

    EXPECT_EQ(ke.Picture1().geometry(), QRect(15, 134, 974, 435));
    EXPECT_EQ(ke.TimeSet().geometry(), QRect(16, 575, 969, 25));
    EXPECT_EQ(ke.TimeSet().orientation(), Qt::Horizontal);
    EXPECT_EQ(ke.TimeSet().value(), 0);
    EXPECT_EQ(ke.TimeSet().minimum(), 0);
    EXPECT_EQ(ke.TimeSet().maximum(), 32767);
    EXPECT_EQ(ke.TimeSet().singleStep(), 1);
    EXPECT_EQ(ke.TimeSet().pageStep(), 1);
}

TEST(WindowControls, ToolbarPicturesPlacesAndToolTips)
{
    EditorRig rig;
    KE& ke = rig.make();
    struct Expected
    {
        const char* tip;
        const char* picture;
        QRect place;
    };
    const Expected buttons[10] = {
        {"播放", ":/BTN/play", {235, 624, 49, 49}},
        {"停止", ":/BTN/stop", {291, 624, 49, 49}},
        {"儲存", ":/BTN/save", {743, 620, 49, 49}},
        {"Random Key", ":/BTN/random", {803, 619, 48, 48}},
        {"複制", ":/BTN/copy", {347, 624, 49, 49}},
        {"剪下", ":/BTN/cut", {403, 624, 49, 49}},
        {"貼上", ":/BTN/paste", {459, 625, 49, 49}},
        {"刪除", ":/BTN/delete", {515, 624, 49, 49}},
        {"開啟", ":/BTN/open", {601, 32, 49, 49}},
        {"開啟", ":/BTN/open", {602, 77, 49, 49}},
    };
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        PictureButton& b = ke.NeC1(i);
        EXPECT_EQ(b.index(), i);
        EXPECT_EQ(b.toolTip(), QString::fromUtf8(buttons[i].tip));
        EXPECT_EQ(b.geometry(), buttons[i].place);
        ASSERT_FALSE(b.picture().isNull());
        EXPECT_EQ(b.picture().toImage(), pictureOf(QString::fromUtf8(buttons[i].picture)));
        EXPECT_TRUE(b.isEnabled());
        EXPECT_EQ(ke.state().BtnLeft[size_t(i)], buttons[i].place.left());
        EXPECT_EQ(ke.state().BtnTop[size_t(i)], buttons[i].place.top());
    }
}

TEST(WindowControls, HiddenPlayAndPausePictures)
{
    EditorRig rig;
    KE& ke = rig.make();
    EXPECT_TRUE(ke.iC(0).isHidden());
    EXPECT_TRUE(ke.iC(1).isHidden());
    EXPECT_EQ(ke.iC(0).geometry(), QRect(689, 8, 49, 49));
    EXPECT_EQ(ke.iC(1).geometry(), QRect(747, 12, 49, 49));
    EXPECT_EQ(ke.iC(0).pixmap().toImage(), pictureOf(QStringLiteral(":/BTN/play")));
    EXPECT_EQ(ke.iC(1).pixmap().toImage(), pictureOf(QStringLiteral(":/BTN/pause")));
    EXPECT_NE(ke.iC(0).pixmap().toImage(), ke.iC(1).pixmap().toImage());
}

// --- Start-up

TEST(StartUp, ValuesAfterLoading)
{
    EditorRig rig;
    KE& ke = rig.make();
    const EditorState& s = ke.state();
    EXPECT_DOUBLE_EQ(s.OffsetVal, 4200.0);
    EXPECT_EQ(s.SelKeys, emptySelection());
    EXPECT_EQ(s.MusicStream, 0);
    EXPECT_EQ(s.SongLenMs, 0);
    EXPECT_EQ(s.CursorMs, 0);
    EXPECT_EQ(s.PlayMs, 0);
    EXPECT_FALSE(s.IsPlaying);
    EXPECT_FALSE(s.IsPaused);
    EXPECT_FALSE(s.IsClosing);
    EXPECT_EQ(s.SoundSlot, 0);
    EXPECT_EQ(s.LastSoundBeat, 0);
    EXPECT_FALSE(s.drag.MouseDown);
    EXPECT_FALSE(s.drag.MouseMove);
    EXPECT_EQ(rig.kep.BeatRate, 0.0f);
    EXPECT_FALSE(rig.kep.hasGrid());
    // Nothing is drawn before music or a chart: no renderer, no display loop.
    EXPECT_FALSE(ke.hasRenderer());
    EXPECT_FALSE(s.LoopRunning);
    EXPECT_FALSE(ke.runPendingFrame());
}

TEST(StartUp, TemplatesLoaded)
{
    EditorRig rig;
    rig.make();
    EXPECT_FALSE(rig.kep.HeaderTemplate.isEmpty());
    EXPECT_EQ(rig.kep.HeaderTemplate, builtInHeaderTemplate());
    EXPECT_EQ(rig.kep.TitleTemplate, builtInTitleTemplate());
}

TEST(StartUp, EngineAndSixteenClipStreams)
{
    EditorRig rig;
    KE& ke = rig.make();
    const auto& log = rig.engine.log;
    ASSERT_EQ(log.size(), 17u);
    EXPECT_EQ(log[0], "Init 44100 32 0");
    QFile pf(QStringLiteral(":/SOUND/PF"));
    QFile sp(QStringLiteral(":/SOUND/SP"));
    const std::string pfOpen = "OpenMemory 0x2A130 0 " + std::to_string(pf.size());
    const std::string spOpen = "OpenMemory 0x2A130 0 " + std::to_string(sp.size());
    for (int i = 1; i <= 15; ++i)
        EXPECT_EQ(log[size_t(i)], pfOpen);
    EXPECT_EQ(log[16], spOpen);
    std::set<StreamHandle> distinct(ke.state().KeySounds.begin(), ke.state().KeySounds.end());
    EXPECT_EQ(distinct.size(), 16u);
    EXPECT_EQ(distinct.count(0), 0u);
}

TEST(StartUp, KeyBlocksHoldTheSoundResources)
{
    QFile pf(QStringLiteral(":/SOUND/PF"));
    QFile sp(QStringLiteral(":/SOUND/SP"));
    ASSERT_TRUE(pf.open(QIODevice::ReadOnly));
    ASSERT_TRUE(sp.open(QIODevice::ReadOnly));
    EXPECT_GT(pf.size(), 44);
    EXPECT_GT(sp.size(), 44);
    EXPECT_NE(pf.readAll(), sp.readAll());
}

TEST(StartUp, ScriptModeFromTheWholeCommandLine)
{
    {
        EditorRig rig;
        rig.make(QStringLiteral("tavix-editor --x=a/TavixScriptModeb song.ogg"));
        EXPECT_TRUE(rig.kep.ScriptMode);
    }
    {
        EditorRig rig;
        rig.make(QStringLiteral("tavix-editor /TAVIXSCRIPTMODE"));
        EXPECT_FALSE(rig.kep.ScriptMode);
    }
    {
        EditorRig rig;
        rig.make(QStringLiteral("tavix-editor song.ogg"));
        EXPECT_FALSE(rig.kep.ScriptMode);
    }
}

TEST(StartUp, KeyboardAcquiredButNotRead)
{
    EditorRig rig;
    KE& ke = rig.make();
    rig.keys->state[0x47] = 0x80;
    EXPECT_EQ(rig.keys->reads, 0);
    ke.keyboard().GetKey();
    EXPECT_EQ(rig.keys->reads, 1);
    EXPECT_EQ(rig.kep.KeyState[0x47], 0x80);
}

// --- Toolbar

TEST(Toolbar, PressedLookWhileHeldAndBackOnRelease)
{
    EditorRig rig;
    KE& ke = rig.make();
    PictureButton& b = ke.NeC1(4);
    const QPoint home = b.pos();
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.pos(), home + QPoint(2, 2));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(b.pos(), home);
    // Any mouse button presses it.
    QTest::mousePress(&b, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.pos(), home + QPoint(2, 2));
    QTest::mouseRelease(&b, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.pos(), home);
}

TEST(Toolbar, ClickDispatchesByIndex)
{
    EditorRig rig;
    KE& ke = rig.make();
    rig.engine.songs["/m/a.ogg"] = 10000;
    rig.chooser.answerWith(QStringLiteral("/m/a.ogg"));
    QTest::mouseClick(&ke.NeC1(8), Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    EXPECT_EQ(ke.MSeteD().text(), QStringLiteral("a.ogg"));
    QTest::mouseClick(&ke.NeC1(0), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(ke.state().IsPlaying);
    QTest::mouseClick(&ke.NeC1(1), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(ke.state().IsPlaying);
}

TEST(Toolbar, DoubleClickRunsTheCommandOnceWithoutPressingAgain)
{
    EditorRig rig;
    KE& ke = rig.make();
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 10000));
    PictureButton& b = ke.NeC1(0);
    const QPoint home = b.pos();
    const QPointF at(20, 20);
    const auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent event(type, at, b.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&b, &event);
    };
    // What the window system delivers for a double-click.
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(b.pos(), home);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(b.pos(), home);
    EXPECT_TRUE(ke.state().IsPlaying);
    EXPECT_FALSE(ke.state().IsPaused); // not play and pause at once
}

TEST(Toolbar, ReleaseOutsideReturnsWithoutCommand)
{
    EditorRig rig;
    KE& ke = rig.make();
    PictureButton& b = ke.NeC1(8);
    const QPoint home = b.pos();
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(b.pos(), home + QPoint(2, 2));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(120, 20));
    EXPECT_EQ(b.pos(), home);
    EXPECT_TRUE(rig.chooser.requests.empty());
    // Only a left release counts as a click.
    QTest::mousePress(&b, Qt::RightButton, {}, QPoint(20, 20));
    QTest::mouseRelease(&b, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_TRUE(rig.chooser.requests.empty());
}

TEST(Toolbar, OpenButtonsDisabledWhilePlayingNeitherMoveNorDispatch)
{
    EditorRig rig;
    KE& ke = rig.make();
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 10000));
    ke.buttonClick(0);
    ASSERT_TRUE(ke.state().IsPlaying);
    for (int i : {8, 9}) {
        PictureButton& b = ke.NeC1(i);
        EXPECT_FALSE(b.isEnabled());
        const QPoint home = b.pos();
        QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(20, 20));
        EXPECT_EQ(b.pos(), home);
        QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(20, 20));
    }
    EXPECT_EQ(rig.chooser.requests.size(), 1u);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(ke.NeC1(i).isEnabled());
    // Paused still counts as playing.
    ke.buttonClick(0);
    ASSERT_TRUE(ke.state().IsPaused);
    EXPECT_FALSE(ke.NeC1(8).isEnabled());
    ke.buttonClick(1);
    EXPECT_TRUE(ke.NeC1(8).isEnabled());
    EXPECT_TRUE(ke.NeC1(9).isEnabled());
}

TEST(Toolbar, IndexOutsideTheToolbarDoesNothing)
{
    EditorRig rig;
    KE& ke = rig.make();
    const auto before = rig.engine.log.size();
    ke.buttonClick(10);
    ke.buttonClick(-1);
    ke.buttonMouseDown(12, Qt::LeftButton, {}, 0, 0);
    EXPECT_EQ(rig.engine.log.size(), before);
    EXPECT_TRUE(rig.chooser.requests.empty());
}

// --- Shutdown

TEST(Shutdown, DuringPlaybackStopsClosesAndQuitsInOrder)
{
    EditorRig rig;
    KE& ke = rig.make();
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 10000));
    ke.buttonClick(0);
    rig.step(500);
    const StreamHandle music = ke.state().MusicStream;
    const auto keySounds = ke.state().KeySounds;
    rig.engine.log.clear();
    EXPECT_TRUE(ke.close());

    std::vector<std::string> expected{"Stop " + std::to_string(music),
                                      "Close " + std::to_string(music)};
    for (StreamHandle h : keySounds)
        expected.push_back("Close " + std::to_string(h));
    expected.push_back("CloseEngine");
    EXPECT_EQ(rig.engine.log, expected);
    EXPECT_EQ(rig.quitCalls, 1);
    EXPECT_EQ(rig.logAtQuit, expected); // the quit comes last
    EXPECT_TRUE(ke.state().IsClosing);
    EXPECT_FALSE(ke.state().IsPlaying);
    EXPECT_EQ(ke.state().MusicStream, 0);
    EXPECT_FALSE(ke.frameTickActive());
    // Nothing runs any more.
    rig.engine.log.clear();
    ke.playbackPass();
    ke.buttonClick(0);
    EXPECT_TRUE(rig.engine.log.empty());
}

TEST(Shutdown, IdleWithoutMusicClosesTheClipsAndEngine)
{
    EditorRig rig;
    KE& ke = rig.make();
    const auto keySounds = ke.state().KeySounds;
    rig.engine.log.clear();
    ke.close();
    std::vector<std::string> expected;
    for (StreamHandle h : keySounds)
        expected.push_back("Close " + std::to_string(h));
    expected.push_back("CloseEngine");
    EXPECT_EQ(rig.engine.log, expected);
    EXPECT_EQ(rig.quitCalls, 1);
    // A second close request changes nothing.
    ke.shutdown();
    EXPECT_EQ(rig.quitCalls, 1);
    EXPECT_EQ(rig.engine.log, expected);
}

TEST(WindowControls, AutoSpaceCaptionIsPushedToTheSecondLine)
{
    EditorRig rig;
    KE& ke = rig.make();
    const QFontMetrics metrics(ke.Asp().font());
    const QString text = ke.Asp().text();
    const int width = ke.Asp().contentsRect().width();
    ASSERT_GT(metrics.horizontalAdvance(QString(18, QLatin1Char(' ')) + QStringLiteral("Auto")),
              width);
    EXPECT_EQ(ClickLabel::blankPushingLines(text, metrics, width),
              (QStringList{QString(), QStringLiteral("Auto Space")}));
    EXPECT_EQ(ClickLabel::blankPushingLines(QStringLiteral("a b"), metrics, width),
              (QStringList{QStringLiteral("a b")}));
    EXPECT_EQ(ClickLabel::blankPushingLines(QStringLiteral("wide  words here"), metrics, 1),
              (QStringList{QString(), QStringLiteral("wide"), QStringLiteral("words"),
                           QStringLiteral("here")}));
}
