// The tool tips on a machine with no fonts but those the program's package brings: every
// text shows its glyphs, not the empty boxes of characters no font has.
#include "EditingRig.h"

#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavix;
using namespace tavix::test;

namespace {

// The tool tip as it shows over a widget, grabbed.
QImage shownTip(QWidget& over, const QString& text)
{
    QToolTip::showText(over.mapToGlobal(QPoint(4, 4)), text, &over);
    QImage image;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            image = w->grab().toImage();
    QToolTip::hideText();
    return image;
}

} // namespace

TEST(ToolTips, EveryToolTipShowsItsGlyphs)
{
    EditingRig rig;
    rig.ke.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.ke));
    std::vector<QWidget*> owners{&rig.ke.Asp()};
    for (int i = 0; i < EditorState::ButtonCount; ++i)
        owners.push_back(&rig.ke.NeC1(i));
    const char32_t noGlyph = 0xF0000; // private use: no font of the program's maps it
    for (QWidget* owner : owners) {
        const QString text = owner->toolTip();
        SCOPED_TRACE(text.toStdString());
        ASSERT_FALSE(text.isEmpty());
        const QImage shown = shownTip(*owner, text);
        ASSERT_FALSE(shown.isNull());
        QString boxes, backwards = text;
        for (qsizetype i = 0; i < text.size(); ++i)
            boxes += QString::fromUcs4(&noGlyph, 1);
        // Boxes look alike: the text differs from boxes, and from itself backwards.
        EXPECT_NE(shown, shownTip(*owner, boxes));
        std::reverse(backwards.begin(), backwards.end());
        EXPECT_NE(shown, shownTip(*owner, backwards));
    }
}

int main(int argc, char** argv)
{
    // Only the fonts of the packages the program depends on, whatever else this machine has.
    QTemporaryDir fonts;
    QFile conf(fonts.filePath(QStringLiteral("fonts.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return 2;
    conf.write("<?xml version=\"1.0\"?>\n<fontconfig>\n");
    for (const char* dir : {"dejavu", "roboto", "wqy"})
        conf.write(QByteArray("<dir>/usr/share/fonts/truetype/") + dir + "</dir>\n");
    conf.write("<cachedir>" + fonts.path().toUtf8() + "</cachedir>\n</fontconfig>\n");
    conf.close();
    qputenv("FONTCONFIG_FILE", conf.fileName().toLocal8Bit());
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
