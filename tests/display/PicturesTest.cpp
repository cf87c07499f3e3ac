// The built-in pictures: every name the program loads exists with the size and colours the
// display relies on, and the committed files are exactly what the picture script draws.
#include "ResourceInit.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QImage load(const char* path)
{
    tavix::initPicturesResources();
    return QImage(QString::fromLatin1(path));
}

TEST(Pictures, LaneBackgroundIsDarkRedWithTwoBlackBars)
{
    const QImage rm = load(":/BMP/RM");
    ASSERT_EQ(rm.size(), QSize(325, 189));
    EXPECT_FALSE(rm.hasAlphaChannel());
    for (int y = 0; y < 189; ++y) {
        const bool bar = (y >= 61 && y <= 63) || (y >= 125 && y <= 127);
        const QRgb expected = bar ? qRgb(0, 0, 0) : qRgb(128, 0, 0);
        for (int x : {0, 162, 324})
            ASSERT_EQ(rm.pixel(x, y), expected) << x << "," << y;
    }
}

TEST(Pictures, LineColourIsSolidVioletBlue)
{
    const QImage ry = load(":/BMP/RY");
    ASSERT_EQ(ry.size(), QSize(7, 57));
    EXPECT_FALSE(ry.hasAlphaChannel());
    for (int y = 0; y < 57; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(ry.pixel(x, y), qRgb(128, 128, 255));
}

// The way a glyph points: of the eight directions, the one whose half of the picture holds
// the most of the opaque core (the arrow head is larger than the shaft).
QPoint pointing(const QImage& image)
{
    QPoint best;
    int bestCount = -1;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0)
                continue;
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const double px = x + 0.5 - image.width() / 2.0;
                    const double py = y + 0.5 - image.height() / 2.0;
                    count += qAlpha(image.pixel(x, y)) >= 250 && px * dx + py * dy > 0;
                }
            if (count > bestCount) {
                bestCount = count;
                best = QPoint(dx, dy);
            }
        }
    return best;
}

TEST(Pictures, ArrowsGlowInTheirColoursAndPointTheirWays)
{
    const struct
    {
        const char* path;
        int dx, dy;
        bool cyan;
    } arrows[] = {{":/DDS/A1", -1, -1, false}, {":/DDS/A2", -1, 0, true},
                  {":/DDS/A3", -1, 1, false},  {":/DDS/A4", 1, -1, false},
                  {":/DDS/A5", 1, 0, true},    {":/DDS/A6", 1, 1, false}};
    for (const auto& a : arrows) {
        const QImage image = load(a.path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(64, 64)) << a.path;
        ASSERT_TRUE(image.hasAlphaChannel()) << a.path;
        // transparent corners, a partly transparent glow, an opaque core
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << a.path;
        int glow = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                glow += alpha > 20 && alpha < 200;
            }
        EXPECT_GT(glow, 100) << a.path;
        EXPECT_EQ(pointing(image), QPoint(a.dx, a.dy)) << a.path;
        // the outer glow shows the arrow's colour
        QColor edge;
        for (int x = 0; x < 64 && !edge.isValid(); ++x) {
            const QRgb p = image.pixel(x, 32);
            if (qAlpha(p) > 60 && qAlpha(p) < 200)
                edge = QColor::fromRgba(p);
        }
        ASSERT_TRUE(edge.isValid()) << a.path;
        EXPECT_GT(edge.green(), 200) << a.path;
        EXPECT_LT(edge.red(), 80) << a.path;
        if (a.cyan)
            EXPECT_GT(edge.blue(), 200) << a.path;
        else
            EXPECT_LT(edge.blue(), 100) << a.path;
    }
}

TEST(Pictures, ConfirmMarkerIsABlueGlow)
{
    const QImage a7 = load(":/DDS/A7").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(a7.size(), QSize(64, 32));
    EXPECT_EQ(qAlpha(a7.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(a7.pixel(32, 16)), 255);
    const QColor arm = QColor::fromRgba(a7.pixel(32 + 13, 16));
    EXPECT_GT(arm.alpha(), 100);
    EXPECT_GT(arm.blue(), 200);
    EXPECT_GT(arm.blue(), arm.red() + 100);
    // star-shaped: the arms reach further than the diagonals between them
    EXPECT_GT(qAlpha(a7.pixel(32 + 13, 16)), qAlpha(a7.pixel(32 + 9, 16 + 9)));
}

TEST(Pictures, ToolbarButtonsAndIconExistAtTheirSizes)
{
    for (const char* name : {":/BTN/play", ":/BTN/pause", ":/BTN/stop", ":/BTN/save", ":/BTN/copy",
                             ":/BTN/cut", ":/BTN/paste", ":/BTN/delete", ":/BTN/open"})
        EXPECT_EQ(load(name).size(), QSize(49, 49)) << name;
    EXPECT_EQ(load(":/BTN/random").size(), QSize(48, 48));
    EXPECT_EQ(load(":/ICON/tavix").size(), QSize(64, 64));
    // distinct pictures, not one drawn ten times
    EXPECT_NE(load(":/BTN/play"), load(":/BTN/pause"));
    EXPECT_NE(load(":/BTN/copy"), load(":/BTN/paste"));
}

TEST(Pictures, CommittedFilesAreWhatTheScriptDraws)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QString source = QStringLiteral(TAVIX_SOURCE_DIR);
    QProcess script;
    script.start(python, {source + QStringLiteral("/tools/make-pictures.py"),
                          QStringLiteral("--out"), out.path()});
    ASSERT_TRUE(script.waitForFinished(120000));
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();

    const QDir committed(source + QStringLiteral("/resources/pictures"));
    const QStringList drawn = QDir(out.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(drawn, committed.entryList(QDir::Files, QDir::Name));
    EXPECT_GE(drawn.size(), 21);
    for (const QString& name : drawn) {
        QFile a(out.filePath(name));
        QFile b(committed.filePath(name));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly));
        ASSERT_TRUE(b.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_TRUE(a.readAll() == b.readAll())
            << name.toStdString() << " differs from the script's";
    }
}

} // namespace
