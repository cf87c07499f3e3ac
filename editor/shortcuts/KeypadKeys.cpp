#include "KeypadKeys.h"

#include <array>

namespace tavix {

namespace {

struct KeypadKey
{
    Qt::Key digit;
    Qt::Key withoutNumLock;
    uint8_t code;
};

constexpr std::array<KeypadKey, 8> EntryKeys{{
    {Qt::Key_7, Qt::Key_Home, 0x47},
    {Qt::Key_4, Qt::Key_Left, 0x4B},
    {Qt::Key_1, Qt::Key_End, 0x4F},
    {Qt::Key_9, Qt::Key_PageUp, 0x49},
    {Qt::Key_6, Qt::Key_Right, 0x4D},
    {Qt::Key_3, Qt::Key_PageDown, 0x51},
    {Qt::Key_5, Qt::Key_Clear, 0x4C},
    {Qt::Key_0, Qt::Key_Insert, 0x52},
}};

} // namespace

std::optional<uint8_t> KeypadKeys::entryCode(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (!(modifiers & Qt::KeypadModifier))
        return std::nullopt;
    for (const KeypadKey& k : EntryKeys)
        if (key == k.digit || key == k.withoutNumLock)
            return k.code;
    return std::nullopt;
}

} // namespace tavix
