// The keyboard device over a fake source and over the window's own key events.
#include "KeyInput.h"
#include "KeP.h"
#include "WindowKeySource.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

using namespace tavix;

namespace {

class FakeKeySource : public KeySource
{
public:
    std::array<uint8_t, 256> state{};
    std::vector<KeyPress> presses;
    int reads = 0;
    std::vector<std::pair<int, bool>> windowEvents;

    void readState(std::array<uint8_t, 256>& out) override
    {
        ++reads;
        out = state;
    }
    std::vector<KeyPress> takePresses() override
    {
        std::vector<KeyPress> taken;
        taken.swap(presses);
        return taken;
    }
    void windowKeyEvent(const QKeyEvent& event, bool down) override
    {
        windowEvents.emplace_back(event.key(), down);
    }
};

QKeyEvent keyEvent(bool down, int key, Qt::KeyboardModifiers modifiers, bool repeat = false)
{
    return QKeyEvent(down ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers, QString(),
                     repeat);
}

// --- KeyInput over a source ------------------------------------------------------------

TEST(KeyInput, GetKeyCopiesTheWholeSnapshotIntoKeyState)
{
    KeP kep;
    auto source = std::make_unique<FakeKeySource>();
    FakeKeySource& fake = *source;
    KeyInput input(kep, std::move(source));
    for (size_t i = 0; i < 256; ++i)
        fake.state[i] = uint8_t(i * 7 + 1);
    input.GetKey();
    EXPECT_EQ(kep.KeyState, fake.state);
    EXPECT_EQ(fake.reads, 1);

    fake.state.fill(0);
    fake.state[0x47] = 0x80;
    input.GetKey();
    EXPECT_EQ(kep.KeyState, fake.state); // keys let go of read as 0 again
    EXPECT_EQ(kep.PrevKeyState, (std::array<uint8_t, 256>{}));
}

TEST(KeyInput, PressesAndWindowEventsGoThroughTheSource)
{
    KeP kep;
    auto source = std::make_unique<FakeKeySource>();
    FakeKeySource& fake = *source;
    KeyInput input(kep, std::move(source));
    const auto t = std::chrono::steady_clock::now();
    fake.presses = {{0x4B, t}, {0x52, t + std::chrono::milliseconds(3)}};
    const auto presses = input.takePresses();
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(presses[0].code, 0x4B);
    EXPECT_EQ(presses[1].code, 0x52);
    EXPECT_EQ(presses[1].when - presses[0].when, std::chrono::milliseconds(3));
    EXPECT_TRUE(input.takePresses().empty());

    const QKeyEvent e = keyEvent(true, Qt::Key_7, Qt::KeypadModifier);
    input.windowKeyEvent(e, true);
    ASSERT_EQ(fake.windowEvents.size(), 1u);
    EXPECT_EQ(fake.windowEvents[0], std::make_pair(int(Qt::Key_7), true));
}

TEST(KeyInput, WithoutASourceOffscreenFallsBackToWindowEvents)
{
    KeP kep;
    KeyInput input(kep, nullptr);
    const QKeyEvent e = keyEvent(true, Qt::Key_Home, Qt::KeypadModifier);
    input.windowKeyEvent(e, true);
    input.GetKey();
    EXPECT_EQ(kep.KeyState[0x47], 0x80);
    EXPECT_EQ(input.takePresses().size(), 1u);
}

// --- keypad codes ----------------------------------------------------------------------

TEST(KeypadCode, KeypadKeysGiveTheirCodesWithNumLockOnAndOff)
{
    const struct
    {
        int digit;
        int navigation;
        uint8_t code;
    } table[] = {{Qt::Key_7, Qt::Key_Home, 0x47},  {Qt::Key_4, Qt::Key_Left, 0x4B},
                 {Qt::Key_1, Qt::Key_End, 0x4F},   {Qt::Key_9, Qt::Key_PageUp, 0x49},
                 {Qt::Key_6, Qt::Key_Right, 0x4D}, {Qt::Key_3, Qt::Key_PageDown, 0x51},
                 {Qt::Key_5, Qt::Key_Clear, 0x4C}, {Qt::Key_0, Qt::Key_Insert, 0x52}};
    for (const auto& row : table) {
        EXPECT_EQ(keypadCode(keyEvent(true, row.digit, Qt::KeypadModifier)), row.code);
        EXPECT_EQ(keypadCode(keyEvent(true, row.navigation, Qt::KeypadModifier)), row.code);
        EXPECT_EQ(keypadCode(keyEvent(false, row.digit, Qt::KeypadModifier | Qt::ShiftModifier)),
                  row.code);
    }
}

TEST(KeypadCode, MainKeyboardDigitsAndOtherKeysGiveNothing)
{
    for (int key : {Qt::Key_7, Qt::Key_4, Qt::Key_1, Qt::Key_9, Qt::Key_6, Qt::Key_3, Qt::Key_5,
                    Qt::Key_0, Qt::Key_Left, Qt::Key_Home, Qt::Key_Space})
        EXPECT_FALSE(keypadCode(keyEvent(true, key, Qt::NoModifier))) << key;
    for (int key : {Qt::Key_8, Qt::Key_2, Qt::Key_Up, Qt::Key_Down, Qt::Key_Plus, Qt::Key_Enter,
                    Qt::Key_Delete, Qt::Key_Period})
        EXPECT_FALSE(keypadCode(keyEvent(true, key, Qt::KeypadModifier))) << key;
}

// --- the window-event source -------------------------------------------------------------

TEST(WindowKeySource, KeypadPressIsHeldUntilReleasedAndRecordedOnce)
{
    WindowKeySource source;
    std::array<uint8_t, 256> state{};
    const auto before = std::chrono::steady_clock::now();
    source.windowKeyEvent(keyEvent(true, Qt::Key_7, Qt::KeypadModifier), true);
    const auto after = std::chrono::steady_clock::now();
    source.windowKeyEvent(keyEvent(true, Qt::Key_7, Qt::KeypadModifier, true), true); // repeat
    source.windowKeyEvent(keyEvent(false, Qt::Key_7, Qt::KeypadModifier, true), false);
    source.readState(state);
    EXPECT_EQ(state[0x47], 0x80);

    const auto presses = source.takePresses();
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].code, 0x47);
    EXPECT_GE(presses[0].when, before);
    EXPECT_LE(presses[0].when, after);
    EXPECT_TRUE(source.takePresses().empty());

    source.windowKeyEvent(keyEvent(false, Qt::Key_7, Qt::KeypadModifier), false);
    source.readState(state);
    EXPECT_EQ(state[0x47], 0);
}

TEST(WindowKeySource, MainKeyboardDigitsRecordNothing)
{
    WindowKeySource source;
    for (int key :
         {Qt::Key_7, Qt::Key_4, Qt::Key_1, Qt::Key_9, Qt::Key_6, Qt::Key_3, Qt::Key_5, Qt::Key_0})
        source.windowKeyEvent(keyEvent(true, key, Qt::NoModifier), true);
    std::array<uint8_t, 256> state{};
    state.fill(9);
    source.readState(state);
    EXPECT_EQ(state, (std::array<uint8_t, 256>{}));
    EXPECT_TRUE(source.takePresses().empty());
}

TEST(WindowKeySource, SeveralKeysAtOnceAndPressOrder)
{
    WindowKeySource source;
    source.windowKeyEvent(keyEvent(true, Qt::Key_PageUp, Qt::KeypadModifier), true);
    source.windowKeyEvent(keyEvent(true, Qt::Key_Insert, Qt::KeypadModifier), true);
    source.windowKeyEvent(keyEvent(true, Qt::Key_Clear, Qt::KeypadModifier), true);
    std::array<uint8_t, 256> state{};
    source.readState(state);
    EXPECT_EQ(state[0x49], 0x80);
    EXPECT_EQ(state[0x52], 0x80);
    EXPECT_EQ(state[0x4C], 0x80);
    EXPECT_EQ(state[0x47], 0);
    const auto presses = source.takePresses();
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(presses[0].code, 0x49);
    EXPECT_EQ(presses[1].code, 0x52);
    EXPECT_EQ(presses[2].code, 0x4C);
    EXPECT_LE(presses[0].when, presses[2].when);

    source.releaseAll();
    source.readState(state);
    EXPECT_EQ(state, (std::array<uint8_t, 256>{}));
    // a key pressed again after being let go of is a new press
    source.windowKeyEvent(keyEvent(true, Qt::Key_PageUp, Qt::KeypadModifier), true);
    EXPECT_EQ(source.takePresses().size(), 1u);
}

} // namespace
