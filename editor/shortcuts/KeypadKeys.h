#pragma once

#include <QKeyCombination>

#include <cstdint>
#include <optional>

namespace tavix {

// The keypad keys that enter keys at the cursor and record them while the song plays
// (7 4 1 9 6 3, and 5 and 0 for the confirm marker), as the window's key events bring
// them: with Num Lock on as digits, with it off as the arrows, Home, End, the page keys,
// Clear and Insert they are labelled with, always flagged as keypad keys. No shortcut
// may take one of them.
struct KeypadKeys
{
    // The key's keyboard code (the codes KeyToRow lists), or nothing for any other key.
    static std::optional<uint8_t> entryCode(Qt::Key key, Qt::KeyboardModifiers modifiers);
    static std::optional<uint8_t> entryCode(QKeyCombination combination)
    {
        return entryCode(combination.key(), combination.keyboardModifiers());
    }
    static bool isEntryKey(QKeyCombination combination)
    {
        return entryCode(combination).has_value();
    }
};

} // namespace tavix
