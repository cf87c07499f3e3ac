// The tempo and offset fields and the arming of "Auto Space".
#include "ChartEdit.h"
#include "FakeServices.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

struct FieldRig : EditorRig
{
    KE& ke;
    FieldRig() : ke(make()) {}
    explicit FieldRig(const QLocale& locale)
        : ke(make([&] {
              EditorServices s = services();
              s.locale = locale;
              return s;
          }()))
    {
    }
};

void typeInto(QLineEdit& box, const QString& text)
{
    box.setText(text);
}

} // namespace

// --- Tempo

TEST(TempoField, DoubleClickOpensTheBoxWithoutFocus)
{
    FieldRig rig;
    QTest::mouseDClick(&rig.ke.sBpmB(), Qt::LeftButton);
    EXPECT_FALSE(rig.ke.sBpm().isHidden());
    EXPECT_TRUE(rig.ke.sBpmB().isHidden());
    EXPECT_FALSE(rig.ke.sBpm().hasFocus());
    EXPECT_EQ(rig.ke.sBpm().text(), QStringLiteral("100"));
}

TEST(TempoField, RefusedWhilePlayingOrPaused)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    rig.ke.buttonClick(0);
    QTest::mouseDClick(&rig.ke.sBpmB(), Qt::LeftButton);
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
    rig.ke.buttonClick(0); // paused
    QTest::mouseDClick(&rig.ke.sBpmB(), Qt::LeftButton);
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
    QTest::mouseDClick(&rig.ke.slSetOff(), Qt::LeftButton);
    EXPECT_TRUE(rig.ke.sOff().isHidden());
    rig.ke.buttonClick(1);
    QTest::mouseDClick(&rig.ke.sBpmB(), Qt::LeftButton);
    EXPECT_FALSE(rig.ke.sBpm().isHidden());
}

TEST(TempoField, EnterCommitsGrowsTheChartAndNeverShrinksIt)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    ChartEdit(rig.kep).set(KeP::flatIndex(399, 3), 1);
    rig.ke.tempoLabelDoubleClicked();
    typeInto(rig.ke.sBpm(), QStringLiteral("200"));
    QTest::keyClick(&rig.ke.sBpm(), Qt::Key_Return);
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
    EXPECT_FALSE(rig.ke.sBpmB().isHidden());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("200"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(200));
    EXPECT_EQ(rig.kep.TotalBeats, 800);
    EXPECT_EQ(rig.kep.KeyGrid.size(), 5601u);
    EXPECT_EQ(rig.kep.at(399, 3), 1); // keys keep their cells
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0800"));

    rig.ke.tempoLabelDoubleClicked();
    typeInto(rig.ke.sBpm(), QStringLiteral("100"));
    QTest::keyClick(&rig.ke.sBpm(), Qt::Key_Enter); // the keypad's Enter too
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.kep.TotalBeats, 800);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0800"));
}

TEST(TempoField, DoubleClickOnTheBoxCommits)
{
    FieldRig rig;
    rig.ke.tempoLabelDoubleClicked();
    typeInto(rig.ke.sBpm(), QStringLiteral("150"));
    QTest::mouseDClick(&rig.ke.sBpm(), Qt::LeftButton);
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("150"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(150));
}

TEST(TempoField, LosingTheFocusCommits)
{
    FieldRig rig;
    rig.ke.show();
    QApplication::setActiveWindow(&rig.ke);
    rig.ke.tempoLabelDoubleClicked();
    typeInto(rig.ke.sBpm(), QStringLiteral("120"));
    rig.ke.sBpm().setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ke.sBpm().hasFocus(); }, 1000));
    rig.ke.sOff().setVisible(true);
    rig.ke.sOff().setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ke.sBpm().isHidden(); }, 1000));
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("120"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(120));
}

TEST(TempoField, RejectedTextClosesTheBoxAndChangesNothingElse)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    rig.ke.tempoLabelDoubleClicked();
    typeInto(rig.ke.sBpm(), QStringLiteral("12o"));
    rig.ke.commitTempo();
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
    EXPECT_FALSE(rig.ke.sBpmB().isHidden());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.sBpm().text(), QStringLiteral("12o")); // kept for the next open
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.kep.TotalBeats, 400);
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(TempoField, InfinityNanAndOverflowAreNotTempos)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    // 1e43 is a double, but its rate is beyond single precision.
    for (const char* text : {"inf", "-inf", "nan", "1e400", "1e43", "-1e43"}) {
        SCOPED_TRACE(text);
        rig.ke.tempoLabelDoubleClicked();
        typeInto(rig.ke.sBpm(), QString::fromLatin1(text));
        rig.ke.commitTempo();
        EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
        EXPECT_EQ(rig.ke.sBpm().text(), QString::fromLatin1(text));
        EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
        EXPECT_EQ(rig.kep.TotalBeats, 400);
        // Nor does opening a song take it.
        rig.engine.songs["/m/b.ogg"] = 30000;
        rig.chooser.answerWith(QStringLiteral("/m/b.ogg"));
        rig.ke.buttonClick(8);
        EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
        EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("a.ogg"));
    }
}

TEST(TempoField, BeforeAnyMusicSetsTheRateButAddsNoCells)
{
    FieldRig rig;
    typeInto(rig.ke.sBpm(), QStringLiteral("140"));
    rig.ke.commitTempo();
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(140));
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("140"));
    EXPECT_EQ(rig.kep.TotalBeats, 0);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0000"));
}

TEST(TempoField, ABoxOpenedBeforePlaybackCanBeCommittedDuringIt)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    rig.ke.tempoLabelDoubleClicked();
    rig.ke.buttonClick(0);
    typeInto(rig.ke.sBpm(), QStringLiteral("120"));
    rig.ke.commitTempo();
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(120));
    EXPECT_EQ(rig.kep.TotalBeats, 480);
    // Playback goes on with the new rate.
    rig.step(1000);
    EXPECT_EQ(rig.ke.state().PlayMs, 1000 + int32_t(std::lround(rig.ke.LeadMs())));
}

TEST(TempoField, CommaLocale)
{
    FieldRig rig{QLocale(QLocale::German, QLocale::Germany)};
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000)); // "100" is a number there too
    typeInto(rig.ke.sBpm(), QStringLiteral("120,5"));
    rig.ke.commitTempo();
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(120.5));
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("120,5"));
    typeInto(rig.ke.sBpm(), QStringLiteral("130.5"));
    rig.ke.commitTempo();
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(120.5));
}

// --- Offset

TEST(OffsetField, CommitSetsTheTermAndClosesTheBox)
{
    FieldRig rig;
    QTest::mouseDClick(&rig.ke.slSetOff(), Qt::LeftButton);
    ASSERT_FALSE(rig.ke.sOff().isHidden());
    EXPECT_TRUE(rig.ke.slSetOff().isHidden());
    typeInto(rig.ke.sOff(), QStringLiteral("1.4"));
    QTest::keyClick(&rig.ke.sOff(), Qt::Key_Return);
    EXPECT_TRUE(rig.ke.sOff().isHidden());
    EXPECT_FALSE(rig.ke.slSetOff().isHidden());
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("1.4"));
    EXPECT_NEAR(rig.ke.state().OffsetVal, 0.0, 1e-9);

    rig.ke.offsetLabelDoubleClicked();
    typeInto(rig.ke.sOff(), QStringLiteral("2"));
    QTest::mouseDClick(&rig.ke.sOff(), Qt::LeftButton);
    EXPECT_NEAR(rig.ke.state().OffsetVal, -3600.0, 1e-9);
    EXPECT_TRUE(rig.ke.sOff().isHidden());
}

TEST(OffsetField, RejectedTextLeavesTheBoxOpen)
{
    FieldRig rig;
    rig.ke.offsetLabelDoubleClicked();
    typeInto(rig.ke.sOff(), QStringLiteral("late"));
    rig.ke.commitOffset();
    EXPECT_FALSE(rig.ke.sOff().isHidden());
    EXPECT_TRUE(rig.ke.slSetOff().isHidden());
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    EXPECT_DOUBLE_EQ(rig.ke.state().OffsetVal, 4200.0);
    // "0,7" is no number with a point as the decimal separator.
    typeInto(rig.ke.sOff(), QStringLiteral("0,7"));
    rig.ke.commitOffset();
    EXPECT_FALSE(rig.ke.sOff().isHidden());
    EXPECT_DOUBLE_EQ(rig.ke.state().OffsetVal, 4200.0);
}

TEST(OffsetField, InfinityNanAndOverflowAreNotOffsets)
{
    FieldRig rig;
    rig.ke.offsetLabelDoubleClicked();
    // 1e308 is a double, but its offset term is not.
    for (const char* text : {"inf", "-inf", "nan", "1e400", "1e308", "-1e308"}) {
        SCOPED_TRACE(text);
        typeInto(rig.ke.sOff(), QString::fromLatin1(text));
        rig.ke.commitOffset();
        EXPECT_FALSE(rig.ke.sOff().isHidden());
        EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
        EXPECT_DOUBLE_EQ(rig.ke.state().OffsetVal, 4200.0);
    }
}

TEST(Fields, OnlyARealMoveOfTheFocusCommits)
{
    FieldRig rig;
    rig.ke.show();
    rig.ke.tempoLabelDoubleClicked();
    rig.ke.offsetLabelDoubleClicked();
    typeInto(rig.ke.sBpm(), QStringLiteral("120"));
    typeInto(rig.ke.sOff(), QStringLiteral("1.4"));
    const auto focusOut = [&](Qt::FocusReason reason) {
        for (FieldEdit* box : {&rig.ke.sBpm(), &rig.ke.sOff()}) {
            QFocusEvent event(QEvent::FocusOut, reason);
            QApplication::sendEvent(box, &event);
        }
    };
    // The box's own context menu, and a switch to another application.
    focusOut(Qt::PopupFocusReason);
    focusOut(Qt::ActiveWindowFocusReason);
    EXPECT_FALSE(rig.ke.sBpm().isHidden());
    EXPECT_FALSE(rig.ke.sOff().isHidden());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    // A click on another control of the window.
    focusOut(Qt::MouseFocusReason);
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
    EXPECT_TRUE(rig.ke.sOff().isHidden());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("120"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("1.4"));
}

TEST(OffsetField, CommaLocaleAcceptsButReadsWithAPoint)
{
    FieldRig rig{QLocale(QLocale::German, QLocale::Germany)};
    rig.ke.offsetLabelDoubleClicked();
    typeInto(rig.ke.sOff(), QStringLiteral("0,7"));
    rig.ke.commitOffset();
    EXPECT_TRUE(rig.ke.sOff().isHidden());
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0,7"));
    EXPECT_NEAR(rig.ke.state().OffsetVal, 8400.0, 1e-9);
}

TEST(OffsetField, TakesEffectAtTheNextPass)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    rig.ke.offsetLabelDoubleClicked();
    rig.ke.buttonClick(0);
    rig.step(2000);
    EXPECT_EQ(rig.ke.state().PlayMs, 2028);
    typeInto(rig.ke.sOff(), QStringLiteral("1.4"));
    rig.ke.commitOffset();
    rig.step(1000);
    EXPECT_EQ(rig.ke.state().PlayMs, 3000);
}

// --- Auto Space

TEST(AutoSpace, ArmsWithTheSizingPointerOnlyWithAChart)
{
    FieldRig rig;
    QTest::mouseClick(&rig.ke.Asp(), Qt::LeftButton);
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTest::mouseClick(&rig.ke.Asp(), Qt::LeftButton);
    EXPECT_TRUE(rig.ke.autoSpaceArmed());
    EXPECT_EQ(rig.ke.cursor().shape(), Qt::SizeHorCursor);
}

TEST(AutoSpace, RefusedWhilePlayingArmsWhilePausedDisarmedByPlayAndStop)
{
    FieldRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    rig.ke.buttonClick(0);
    rig.ke.autoSpaceClicked();
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    rig.ke.buttonClick(0); // pause
    rig.ke.autoSpaceClicked();
    EXPECT_TRUE(rig.ke.autoSpaceArmed());
    rig.ke.buttonClick(0); // resume disarms
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    EXPECT_EQ(rig.ke.cursor().shape(), Qt::ArrowCursor);
    rig.ke.buttonClick(0);
    rig.ke.autoSpaceClicked();
    ASSERT_TRUE(rig.ke.autoSpaceArmed());
    rig.ke.buttonClick(1); // stop disarms
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    rig.ke.autoSpaceClicked();
    ASSERT_TRUE(rig.ke.autoSpaceArmed());
    rig.ke.buttonClick(1); // even a stop with nothing playing
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
}

TEST(AutoSpace, EmptyChartAfterTempoZeroRefuses)
{
    FieldRig rig;
    typeInto(rig.ke.sBpm(), QStringLiteral("0"));
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    ASSERT_EQ(rig.kep.TotalBeats, 0);
    rig.ke.autoSpaceClicked();
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
}
