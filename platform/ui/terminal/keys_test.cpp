#define NCURSES_WIDECHAR 1
#include "ui/terminal/keys.h"

#include <curses.h>
#include <gtest/gtest.h>

namespace ce::ui::term {
namespace {

struct Expected {
    InputKind kind;
    UINT vk;
    bool shift;
    char16_t ch;
};

TEST(Keys, TerminalKeysBecomeTheWindowManagersInput) {
    struct Case {
        const char *name;
        bool is_key;
        unsigned code;
        std::vector<Expected> want;
    };
    const Case cases[] = {
        {"Tab", false, '\t', {{InputKind::Key, VK_TAB, false, 0}}},
        {"Shift+Tab", true, KEY_BTAB, {{InputKind::Key, VK_TAB, true, 0}}},
        {"Enter (CR)", false, '\r', {{InputKind::Key, VK_RETURN, false, 0}}},
        {"Enter (LF)", false, '\n', {{InputKind::Key, VK_RETURN, false, 0}}},
        {"Enter (keypad)", true, KEY_ENTER, {{InputKind::Key, VK_RETURN, false, 0}}},
        {"Esc", false, 0x1B, {{InputKind::Key, VK_ESCAPE, false, 0}}},
        {"Backspace (DEL)", false, 0x7F, {{InputKind::Key, VK_BACK, false, 0}}},
        {"Backspace (^H)", false, 0x08, {{InputKind::Key, VK_BACK, false, 0}}},
        {"Backspace (key)", true, KEY_BACKSPACE, {{InputKind::Key, VK_BACK, false, 0}}},
        {"Delete", true, KEY_DC, {{InputKind::Key, VK_DELETE, false, 0}}},
        {"Home", true, KEY_HOME, {{InputKind::Key, VK_HOME, false, 0}}},
        {"End", true, KEY_END, {{InputKind::Key, VK_END, false, 0}}},
        {"Left", true, KEY_LEFT, {{InputKind::Key, VK_LEFT, false, 0}}},
        {"Right", true, KEY_RIGHT, {{InputKind::Key, VK_RIGHT, false, 0}}},
        {"Up", true, KEY_UP, {{InputKind::Key, VK_UP, false, 0}}},
        {"Down", true, KEY_DOWN, {{InputKind::Key, VK_DOWN, false, 0}}},
        {"F4 opens a combo list", true, KEY_F(4), {{InputKind::Key, VK_F4, false, 0}}},
        {"Space presses and types", false, ' ', {{InputKind::Key, VK_SPACE, false, 0}, {InputKind::Char, 0, false, u' '}}},
        {"letter", false, 'a', {{InputKind::Char, 0, false, u'a'}}},
        {"Japanese", false, 0x65E5, {{InputKind::Char, 0, false, u'日'}}},
        {"beyond 16 bits", false, 0x1F600, {{InputKind::Char, 0, false, 0xD83D}, {InputKind::Char, 0, false, 0xDE00}}},
        {"Ctrl+A means nothing", false, 0x01, {}},
        {"C1 control means nothing", false, 0x85, {}},
        {"a surrogate code is not a character", false, 0xD800, {}},
        {"unknown function key", true, KEY_F(12), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Input> got;
        translate_key(c.is_key, c.code, got);
        ASSERT_EQ(got.size(), c.want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].kind, c.want[i].kind) << "input " << i;
            EXPECT_EQ(got[i].vk, c.want[i].vk) << "input " << i;
            EXPECT_EQ(got[i].shift, c.want[i].shift) << "input " << i;
            EXPECT_EQ(static_cast<unsigned>(got[i].ch), static_cast<unsigned>(c.want[i].ch)) << "input " << i;
        }
    }
}

}  // namespace
}  // namespace ce::ui::term
