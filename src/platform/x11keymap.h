// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard as the X server maps it, read through xcb: which key codes type a key symbol, and which
// modifier bits the modifier keys set. Shared by the global shortcut and the paste sender.
#pragma once

#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace x11keys {
// A connection of its own to the X server of $DISPLAY, and the root window of its screen (0 when the
// connection failed or names no screen). The connection is the caller's to close, failed or not.
xcb_connection_t *connectToRoot(uint32_t *root);

// Key symbols of <X11/keysymdef.h> used here.
constexpr uint32_t kNoSymbol = 0;
constexpr uint32_t kShiftL = 0xffe1;
constexpr uint32_t kControlL = 0xffe3;
constexpr uint32_t kCapsLock = 0xffe5;
constexpr uint32_t kInsert = 0xff63;
constexpr uint32_t kNumLock = 0xff7f;
constexpr uint32_t kScrollLock = 0xff14;

// The X key symbol of a Qt key (letters as lower case), 0 when it has none.
uint32_t keysymOf(int qtKey);

struct Keymap
{
    uint8_t firstCode = 0;
    int perCode = 0; // key symbols per key code
    std::vector<uint32_t> symbols;

    // Key codes that type `symbol` in the first group, unshifted (or, with `shifted`, also shifted).
    std::vector<uint8_t> codesOf(uint32_t symbol, bool shifted) const;
    // Key codes that type `symbol` unshifted in any group: the first level of groups 1 and 2, and the
    // columns after, where the core map does not tell the groups and levels beyond those apart.
    std::vector<uint8_t> codesInAnyGroup(uint32_t symbol) const;
    // A key code with no symbols at all, 0 when there is none.
    uint8_t spareCode() const;
};
bool readKeymap(xcb_connection_t *c, Keymap *map);

struct Modifiers
{
    uint16_t alt = 0, super = 0, numLock = 0, scrollLock = 0;
    // The key codes that set a modifier bit other than CapsLock's and NumLock's: held, they would change
    // what a sent key means.
    std::vector<uint8_t> holdable;
};
bool readModifiers(xcb_connection_t *c, const Keymap &map, Modifiers *mods);
} // namespace x11keys
