// Dialog templates as the resource compiler writes them, and templates that
// are cut short or inconsistent.
#include "platform.h"
#include "window/dialog_template.h"

#include <gtest/gtest.h>

#include <memory>

using ce::wm::DialogTemplate;
using ce::wm::parse_dialog_template;

namespace {

std::vector<BYTE> resource_bytes(int id) {
    HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    EXPECT_NE(r, nullptr) << "dialog " << id << " not in the test's resources, error " << GetLastError();
    if (!r) return {};
    auto *p = static_cast<const BYTE *>(LockResource(LoadResource(nullptr, r)));
    return std::vector<BYTE>(p, p + SizeofResource(nullptr, r));
}

struct ItemRow {
    DWORD id;
    WORD atom;
    std::u16string text;
    int x, y, cx, cy;
    DWORD must_have;   // style bits that must be set
    DWORD must_lack;   // style bits that must be clear
};

TEST(DialogTemplate, SettingsDialogFromResources) {
    auto bytes = resource_bytes(103);
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(parse_dialog_template(bytes.data(), bytes.size(), &t, &error)) << error;
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(t.caption, u" COM Port Setting");
    EXPECT_EQ((std::tuple{t.x, t.y, t.cx, t.cy}), (std::tuple{0, 0, 119, 126}));
    EXPECT_TRUE(t.has_font);
    EXPECT_EQ(t.point_size, 9);
    EXPECT_EQ(t.font, u"System");
    EXPECT_EQ(t.style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME), WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    EXPECT_EQ(t.style & DS_CENTER, 0u);
    EXPECT_EQ(t.ex_style, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    const ItemRow rows[] = {
        {1007, 0x85, u"", 50, 24, 61, 73, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 0},
        {1008, 0x85, u"", 50, 39, 61, 58, CBS_DROPDOWN | WS_TABSTOP, 0},
        {1009, 0x85, u"", 50, 54, 61, 43, CBS_DROPDOWN | WS_TABSTOP, 0},
        {1011, 0x85, u"", 50, 84, 61, 49, CBS_DROPDOWN | WS_TABSTOP, 0},
        {1010, 0x85, u"", 50, 69, 61, 48, CBS_DROPDOWN | WS_TABSTOP, 0},
        {0xFFFF, 0x82, u"Baud Rate", 6, 27, 40, 8, WS_GROUP, WS_TABSTOP},
        {0xFFFF, 0x82, u"Data bit", 6, 42, 40, 8, WS_GROUP, WS_TABSTOP},
        {0xFFFF, 0x82, u"Parity", 6, 57, 37, 8, WS_GROUP, WS_TABSTOP},
        {0xFFFF, 0x82, u"Stop bit", 6, 71, 41, 8, WS_GROUP, WS_TABSTOP},
        {0xFFFF, 0x82, u"Flow Control", 6, 85, 44, 8, WS_GROUP, WS_TABSTOP},
        {1006, 0x80, u"Default", 5, 107, 34, 12, WS_TABSTOP, BS_DEFPUSHBUTTON},
        {2, 0x80, u"CANCEL", 77, 107, 34, 12, WS_TABSTOP, BS_DEFPUSHBUTTON},
        {1, 0x80, u"OK", 41, 107, 34, 12, WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
        {1018, 0x81, u"", 5, 6, 107, 12, ES_CENTER | ES_READONLY, WS_TABSTOP | WS_BORDER},
    };
    ASSERT_EQ(t.items.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        const auto &item = t.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " id " << row.id);
        EXPECT_EQ(item.id, row.id);
        EXPECT_TRUE(item.window_class.is_ordinal);
        EXPECT_EQ(item.window_class.ordinal, row.atom);
        EXPECT_EQ(item.title.text, row.text);
        EXPECT_EQ((std::tuple{item.x, item.y, item.cx, item.cy}), (std::tuple{row.x, row.y, row.cx, row.cy}));
        EXPECT_EQ(item.style & row.must_have, row.must_have) << std::hex << item.style;
        EXPECT_EQ(item.style & row.must_lack, 0u) << std::hex << item.style;
    }
    // The combo boxes carry the modal-frame extended style, the port field a sunken edge.
    EXPECT_EQ(t.items[0].ex_style, static_cast<DWORD>(WS_EX_DLGMODALFRAME));
    EXPECT_EQ(t.items[13].ex_style, static_cast<DWORD>(WS_EX_CLIENTEDGE));
}

TEST(DialogTemplate, ExtendedForm) {
    auto bytes = resource_bytes(200);
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(parse_dialog_template(bytes.data(), bytes.size(), &t, &error)) << error;
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.help_id, 77u);
    EXPECT_EQ(t.caption, u"Ext ✓");
    EXPECT_EQ((std::tuple{t.x, t.y, t.cx, t.cy}), (std::tuple{10, 20, 100, 60}));
    EXPECT_EQ(t.font, u"Tahoma");
    EXPECT_EQ(t.point_size, 8);
    EXPECT_EQ(t.weight, 700);
    EXPECT_EQ(t.italic, 1);
    ASSERT_EQ(t.items.size(), 2u);
    EXPECT_EQ(t.items[0].id, 70000u) << "extended ids have 32 bits";
    EXPECT_EQ(t.items[0].help_id, 42u);
    EXPECT_TRUE(t.items[0].style & WS_DISABLED);
    EXPECT_EQ(t.items[1].id, 300u);
    EXPECT_EQ(t.items[1].window_class.ordinal, 0x81);
}

TEST(DialogTemplate, EveryCutShortTemplateIsRejected) {
    // Each prefix sits in a buffer of exactly its size, so a read past the
    // end shows up under AddressSanitizer.
    for (int id : {101, 103, 200}) {
        auto bytes = resource_bytes(id);
        ASSERT_FALSE(bytes.empty());
        // The resource compiler pads the last control; the template ends
        // where the last control's data ends.
        DialogTemplate full;
        ASSERT_TRUE(parse_dialog_template(bytes.data(), bytes.size(), &full, nullptr));
        size_t needed = bytes.size();
        while (needed > 0) {
            DialogTemplate t;
            if (!parse_dialog_template(bytes.data(), needed - 1, &t, nullptr)) break;
            --needed;
        }
        for (size_t n = 0; n < needed; ++n) {
            SCOPED_TRACE(testing::Message() << "dialog " << id << ", " << n << " of " << needed << " bytes");
            std::unique_ptr<BYTE[]> cut(new BYTE[n ? n : 1]);
            std::copy_n(bytes.data(), n, cut.get());
            DialogTemplate t;
            std::string error;
            EXPECT_FALSE(parse_dialog_template(cut.get(), n, &t, &error));
            EXPECT_NE(error.find("dialog template"), std::string::npos) << error;
        }
        EXPECT_GE(needed + 3, bytes.size()) << "at most alignment padding may be missing";
    }
}

// Builds a classic template byte by byte.
struct Bytes {
    std::vector<BYTE> b;
    Bytes &w(WORD v) {
        b.push_back(static_cast<BYTE>(v));
        b.push_back(static_cast<BYTE>(v >> 8));
        return *this;
    }
    Bytes &d(DWORD v) { return w(static_cast<WORD>(v)).w(static_cast<WORD>(v >> 16)); }
    Bytes &s(const std::u16string &t) {
        for (char16_t c : t) w(c);
        return w(0);
    }
    Bytes &align() {
        while (b.size() % 4) b.push_back(0);
        return *this;
    }
};

Bytes header(WORD count, DWORD style = WS_POPUP) {
    Bytes t;
    t.d(style).d(0).w(count).w(0).w(0).w(100).w(50).w(0).w(0).s(u"T");
    return t;
}

TEST(DialogTemplate, InconsistentTemplatesAreRejected) {
    struct Case {
        const char *what;
        Bytes bytes;
        const char *error;
    };
    Bytes one_item = header(1);
    one_item.align().d(WS_CHILD).d(0).w(1).w(1).w(10).w(10).w(7).w(0xFFFF).w(0x80).s(u"B").w(0);
    Case cases[] = {
        {"more controls than present", [&] { Bytes b = one_item; b.b[8] = 2; return b; }(), "control record cut short"},
        {"caption without terminator", [] { Bytes t; t.d(WS_POPUP).d(0).w(0).w(0).w(0).w(1).w(1).w(0).w(0).w('A'); return t; }(),
         "caption"},
        {"creation data longer than the rest",
         [&] { Bytes b = one_item; b.b.pop_back(); b.b.pop_back(); b.w(40).w(1); return b; }(), "creation data"},
        {"font announced but missing", header(0, WS_POPUP | DS_SETFONT), "font size"},
        {"control without a class", [] { Bytes t = header(1); t.align().d(0).d(0).w(0).w(0).w(1).w(1).w(3).w(0).s(u"").w(0); return t; }(),
         "without a class"},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        DialogTemplate t;
        std::string error;
        EXPECT_FALSE(parse_dialog_template(c.bytes.b.data(), c.bytes.b.size(), &t, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    DialogTemplate t;
    std::string error;
    EXPECT_TRUE(parse_dialog_template(one_item.b.data(), one_item.b.size(), &t, &error)) << error;
    ASSERT_EQ(t.items.size(), 1u);
    EXPECT_EQ(t.items[0].title.text, u"B");
    EXPECT_FALSE(parse_dialog_template(nullptr, 100, &t, &error));
}

}  // namespace
