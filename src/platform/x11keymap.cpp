// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11keymap.h"

#include <Qt>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace x11keys {
xcb_connection_t *connectToRoot(uint32_t *root)
{
    *root = 0;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c))
        return c;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem > 0)
        *root = screens.data->root;
    return c;
}

namespace {
struct FreeReply
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

constexpr uint32_t kAltL = 0xffe9, kAltR = 0xffea, kMetaL = 0xffe7, kMetaR = 0xffe8, kSuperL = 0xffeb, kSuperR = 0xffec;
} // namespace

uint32_t keysymOf(int qtKey)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return uint32_t(qtKey - Qt::Key_A + 'a');
    if (qtKey >= 0xc0 && qtKey <= 0xde && qtKey != 0xd7) // Latin-1 capitals: the symbol is the small letter
        return uint32_t(qtKey + 0x20);
    if (qtKey >= 0x20 && qtKey <= 0xff) // the rest of Latin-1: the symbol is the character
        return uint32_t(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return uint32_t(0xffbe + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Escape:
        return 0xff1b;
    case Qt::Key_Tab:
        return 0xff09;
    case Qt::Key_Backspace:
        return 0xff08;
    case Qt::Key_Return:
        return 0xff0d;
    case Qt::Key_Enter:
        return 0xff8d;
    case Qt::Key_Insert:
        return kInsert;
    case Qt::Key_Delete:
        return 0xffff;
    case Qt::Key_Pause:
        return 0xff13;
    case Qt::Key_Print:
        return 0xff61;
    case Qt::Key_Home:
        return 0xff50;
    case Qt::Key_End:
        return 0xff57;
    case Qt::Key_Left:
        return 0xff51;
    case Qt::Key_Up:
        return 0xff52;
    case Qt::Key_Right:
        return 0xff53;
    case Qt::Key_Down:
        return 0xff54;
    case Qt::Key_PageUp:
        return 0xff55;
    case Qt::Key_PageDown:
        return 0xff56;
    case Qt::Key_Menu:
        return 0xff67;
    default:
        return kNoSymbol;
    }
}

std::vector<uint8_t> Keymap::codesOf(uint32_t symbol, bool shifted) const
{
    std::vector<uint8_t> codes;
    const int columns = std::min(perCode, shifted ? 2 : 1);
    for (size_t i = 0; perCode > 0 && i + size_t(perCode) <= symbols.size(); i += size_t(perCode)) {
        for (int col = 0; col < columns; ++col) {
            if (symbols[i + size_t(col)] == symbol) {
                codes.push_back(uint8_t(firstCode + i / size_t(perCode)));
                break;
            }
        }
    }
    return codes;
}

std::vector<uint8_t> Keymap::codesInAnyGroup(uint32_t symbol) const
{
    std::vector<uint8_t> codes;
    for (size_t i = 0; perCode > 0 && i + size_t(perCode) <= symbols.size(); i += size_t(perCode)) {
        for (int col = 0; col < perCode; ++col) {
            // Columns 1 and 3 are the shifted level of groups 1 and 2.
            if (col != 1 && col != 3 && symbols[i + size_t(col)] == symbol) {
                codes.push_back(uint8_t(firstCode + i / size_t(perCode)));
                break;
            }
        }
    }
    return codes;
}

uint8_t Keymap::spareCode() const
{
    // From the top: the low codes are the keys keyboards have.
    for (size_t i = symbols.size(); perCode > 0 && i >= size_t(perCode); i -= size_t(perCode)) {
        if (std::all_of(symbols.begin() + std::ptrdiff_t(i) - perCode, symbols.begin() + std::ptrdiff_t(i),
                        [](uint32_t s) { return s == kNoSymbol; }))
            return uint8_t(firstCode + (i - size_t(perCode)) / size_t(perCode));
    }
    return 0;
}

bool readKeymap(xcb_connection_t *c, Keymap *map)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> reply(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr));
    if (!reply)
        return false;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    map->firstCode = setup->min_keycode;
    map->perCode = reply->keysyms_per_keycode;
    map->symbols.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    return true;
}

bool readModifiers(xcb_connection_t *c, const Keymap &map, Modifiers *mods)
{
    Reply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!reply)
        return false;
    *mods = {};
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    const auto typesOneOf = [&map](uint8_t code, std::initializer_list<uint32_t> wanted) {
        const size_t at = size_t(code - map.firstCode) * size_t(map.perCode);
        for (int col = 0; col < map.perCode && at + size_t(col) < map.symbols.size(); ++col) {
            if (std::find(wanted.begin(), wanted.end(), map.symbols[at + size_t(col)]) != wanted.end())
                return true;
        }
        return false;
    };
    std::vector<uint8_t> byBit[8];
    for (int bit = 0; bit < 8; ++bit) {
        const uint16_t mask = uint16_t(1u << bit);
        for (int k = 0; k < perModifier; ++k) {
            const uint8_t code = codes[bit * perModifier + k];
            if (code < map.firstCode)
                continue;
            byBit[bit].push_back(code);
            if (typesOneOf(code, {kAltL, kAltR}))
                mods->alt |= mask;
            if (typesOneOf(code, {kSuperL, kSuperR, kMetaL, kMetaR}))
                mods->super |= mask;
            if (typesOneOf(code, {kNumLock}))
                mods->numLock |= mask;
            if (typesOneOf(code, {kScrollLock}))
                mods->scrollLock |= mask;
        }
    }
    // Without a key for them in the map, Alt and Super are where every desktop puts them.
    if (!mods->alt)
        mods->alt = XCB_MOD_MASK_1;
    if (!mods->super)
        mods->super = XCB_MOD_MASK_4;
    for (int bit = 0; bit < 8; ++bit) {
        const uint16_t mask = uint16_t(1u << bit);
        if (mask != XCB_MOD_MASK_LOCK && !(mask & mods->numLock))
            mods->holdable.insert(mods->holdable.end(), byBit[bit].begin(), byBit[bit].end());
    }
    return true;
}
} // namespace x11keys
