// The toolbar's tool tips on a machine with no fonts but those the program brings: every
// Chinese text shows its glyphs, not the empty boxes of characters no font has.
#include "EditingRig.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
    QWidget* tip = nullptr;
    (void)QTest::qWaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->inherits("QTipLabel") && w->isVisible())
                    tip = w;
            return tip != nullptr;
        },
        2000);
    QImage image = tip ? tip->grab().toImage() : QImage();
    QToolTip::hideText();
    return image;
}

// Characters that no font has, as many as the text.
QString missingGlyphs(const QString& text)
{
    // From the supplementary private use area, which no font of the program's maps.
    const char32_t none = 0xF0000;
    QString s;
    for (qsizetype i = 0; i < text.size(); ++i)
        s += QString::fromUcs4(&none, 1);
    return s;
}

} // namespace

TEST(ToolTips, EveryToolTipShowsItsGlyphs)
{
    EditingRig rig;
    rig.ke.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.ke));
    std::vector<QWidget*> owners;
    owners.reserve(EditorState::ButtonCount + 1);
    for (int i = 0; i < EditorState::ButtonCount; ++i)
        owners.push_back(&rig.ke.NeC1(i));
    owners.push_back(&rig.ke.Asp());
    for (QWidget* owner : owners) {
        const QString text = owner->toolTip();
        SCOPED_TRACE(text.toStdString());
        ASSERT_FALSE(text.isEmpty());
        const QImage shown = shownTip(*owner, text);
        ASSERT_FALSE(shown.isNull());
        EXPECT_NE(shown, shownTip(*owner, missingGlyphs(text))) << "drawn as empty boxes";
        if (text.size() > 1) {
            // Boxes look alike: the text backwards looks different only with real glyphs.
            QString backwards = text;
            std::reverse(backwards.begin(), backwards.end());
            if (backwards != text) {
                EXPECT_NE(shown, shownTip(*owner, backwards)) << "drawn as empty boxes";
            }
        }
    }
}

int main(int argc, char** argv)
{
    // Only the fonts the program's package depends on, whatever else this machine has.
    QTemporaryDir fonts;
    const QString conf = fonts.filePath(QStringLiteral("fonts.conf"));
    {
        QFile file(conf);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        QByteArray text = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                          "<fontconfig>\n";
        for (const char* dir :
             {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/roboto",
              "/usr/share/fonts/truetype/wqy"})
            text += QByteArray("  <dir>") + dir + "</dir>\n";
        text += "  <cachedir>" + QDir::toNativeSeparators(fonts.path()).toUtf8() +
                "</cachedir>\n</fontconfig>\n";
        file.write(text);
    }
    qputenv("FONTCONFIG_FILE", conf.toLocal8Bit());
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
