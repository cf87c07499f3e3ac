// tavix-play, run as a user runs it, writing its sound to a file.
#include "FMod.h"
#include "TestAudio.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fstream>

namespace tavix {
namespace {

TEST(PlayTool, ACutOffOggShowsTheLengthItDecodesTo)
{
    // The demo song's first 30,000 bytes: its header tells no length, its audio 3.2 s.
    test::TempDir dir;
    const auto bytes = test::readBytes(TAVIX_SOURCE_DIR "/resources/sounds/demo.ogg");
    ASSERT_GT(bytes.size(), 30000u);
    const std::string cut = dir.file("cut.ogg");
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 30000);

    FMod engine{FMod::Options{AudioDevice::Kind::Manual, 256}};
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    const StreamHandle h = engine.FSOUND_Stream_Open(cut.c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_TRUE(engine.waitDecoded(h));
    const int32_t decoded = engine.FSOUND_Stream_GetLengthMs(h); // what the editor settles on
    EXPECT_NEAR(decoded, 3202, 1);

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QString::fromStdString(dir.file("out.raw")));
    env.insert(QStringLiteral("SDL_DISKAUDIODELAY"), QStringLiteral("0"));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(TAVIX_PLAY_TOOL), {QString::fromStdString(cut)});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0);
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());

    // It states the length once, the decoded one, and shows it beside the last position.
    const QRegularExpression stated(QStringLiteral("^length: (\\d+) ms"),
                                    QRegularExpression::MultilineOption);
    const QRegularExpression shown(QStringLiteral("^ *[0-9.]+ / (\\d+) ms"),
                                   QRegularExpression::MultilineOption);
    QStringList lengths, beside;
    for (auto it = stated.globalMatch(out); it.hasNext();)
        lengths << it.next().captured(1);
    for (auto it = shown.globalMatch(out); it.hasNext();)
        beside << it.next().captured(1);
    EXPECT_EQ(lengths, QStringList{QString::number(decoded)}) << out.toStdString();
    ASSERT_FALSE(beside.isEmpty()) << out.toStdString();
    EXPECT_EQ(beside.last(), QString::number(decoded)) << out.toStdString();
}

} // namespace
} // namespace tavix
