// The .res, string-table, version-block and ELF-section readers, on the real
// output of the resource compiler and on damaged copies of it. Every input is
// copied into a buffer of exactly its size, so a read past its end is caught
// by AddressSanitizer.
#include "core/codepage.h"
#include "resource/elf_section.h"
#include "resource/res_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using ce::res::Entry;

std::string read_file(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Bytes in a heap block of exactly their size.
struct Exact {
    explicit Exact(const std::string &s) : size(s.size()), bytes(new unsigned char[s.size() ? s.size() : 1]) {
        memcpy(bytes.get(), s.data(), s.size());
    }
    size_t size;
    std::unique_ptr<unsigned char[]> bytes;
};

bool parse(const std::string &s, std::vector<Entry> *entries, std::string *error) {
    Exact e(s);
    return ce::res::parse_res(e.bytes.get(), e.size, entries, error);
}

void put_dword(std::string *s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*s)[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

size_t align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

class ResFile : public ::testing::Test {
protected:
    void SetUp() override {
        res = read_file(CE_TEST_RES);
        ASSERT_GT(res.size(), 32u) << "cannot read " << CE_TEST_RES;
        std::string error;
        ASSERT_TRUE(parse(res, &entries, &error)) << error;
    }
    const Entry *find(uint16_t type, uint16_t name) const {
        for (const Entry &e : entries)
            if (e.type.is_number && e.type.number == type && e.name.is_number && e.name.number == name) return &e;
        return nullptr;
    }
    std::string res;
    std::vector<Entry> entries;
};

TEST_F(ResFile, ListsWhatTheScriptDeclares) {
    // Dialog 103, RCDATA "SETTINGS", version 1, and string blocks 1, 2, 7, 8, 4096.
    ASSERT_EQ(entries.size(), 8u);
    ASSERT_NE(find(5, 103), nullptr);
    EXPECT_EQ(find(5, 103)->size, 0x92u);
    EXPECT_EQ(find(5, 103)->language, 0x409);
    for (uint16_t block : {1, 2, 7, 8, 4096}) {
        SCOPED_TRACE("string block " + std::to_string(block));
        EXPECT_NE(find(6, block), nullptr);
    }
    ASSERT_NE(find(16, 1), nullptr);
    bool named = false;
    for (const Entry &e : entries)
        named |= !e.name.is_number && e.name.text == u"SETTINGS" && e.type.is_number && e.type.number == 10;
    EXPECT_TRUE(named);
}

TEST_F(ResFile, EveryCutIsRejectedUnlessItFallsBetweenRecords) {
    // The ends of records: a cut there (or inside the padding after) leaves a
    // shorter but whole file.
    std::vector<std::pair<size_t, size_t>> whole = {{32, 32}};
    for (const Entry &e : entries) whole.push_back({e.offset + e.size, align4(e.offset + e.size)});
    for (size_t cut = 0; cut < res.size(); ++cut) {
        bool at_boundary = false;
        size_t records = 0;
        for (const auto &[end, padded] : whole) {
            if (cut >= end && cut <= padded) at_boundary = true;
            if (end <= cut) ++records;
        }
        std::vector<Entry> got;
        std::string error;
        bool ok = parse(res.substr(0, cut), &got, &error);
        ASSERT_EQ(ok, at_boundary) << "cut at " << cut << ": " << error;
        if (ok) {
            EXPECT_EQ(got.size(), records - 1) << "cut at " << cut;
        } else {
            EXPECT_TRUE(got.empty());
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST_F(ResFile, InconsistentHeadersAreRejectedWithAReason) {
    const Entry *dialog = find(5, 103);
    ASSERT_NE(dialog, nullptr);
    const size_t record = dialog->offset - 32;  // the dialog's header is 32 bytes
    struct Case {
        const char *what;
        size_t at;
        uint32_t value;
        const char *reason;
    };
    const Case cases[] = {
        {"header size below its own fields", record + 4, 4, "header size"},
        {"header size past the end", record + 4, 0x7FFFFFF0, "header size"},
        {"data size past the end", record, static_cast<uint32_t>(res.size()), "data size"},
        {"data size at the largest value", record, 0xFFFFFFFF, "data size"},
        {"header too small for the fixed fields", record + 4, 16, "fixed fields"},
        {"name string without terminator", record + 8, 0x00410041, "terminator"},
        {"first record is not the marker", 0, 4, "not a 32-bit resource file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = res;
        put_dword(&damaged, c.at, c.value);
        if (std::string(c.what) == "name string without terminator") {
            // Type and name become one long string that fills the header.
            for (size_t i = record + 8; i < record + 32; i += 4) put_dword(&damaged, i, 0x00410041);
        }
        std::vector<Entry> got;
        std::string error;
        EXPECT_FALSE(parse(damaged, &got, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_TRUE(got.empty());
    }
    std::vector<Entry> got;
    std::string error;
    EXPECT_FALSE(parse("", &got, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(ResFile, StringBlocksAreReadWithinTheirBounds) {
    const Entry *block = find(6, 1);  // strings 0..15: "Hello" at 1, "A😀B" at 3
    ASSERT_NE(block, nullptr);
    std::string bytes = res.substr(block->offset, block->size);
    struct Case {
        size_t cut;
        unsigned index;
        bool found;
        size_t length;
    };
    const Case cases[] = {
        {bytes.size(), 0, true, 0}, {bytes.size(), 1, true, 5}, {bytes.size(), 3, true, 4},
        {bytes.size(), 15, true, 0}, {0, 0, false, 0},           {1, 0, false, 0},
        {4, 1, false, 0},  // the length of "Hello" is there, its text is not
        {14, 1, true, 5},  {15, 2, false, 0},                   {14, 3, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("cut " + std::to_string(c.cut) + ", string " + std::to_string(c.index));
        Exact e(bytes.substr(0, c.cut));
        const unsigned char *text = nullptr;
        size_t length = 99;
        EXPECT_EQ(ce::res::string_in_block(e.bytes.get(), e.size, c.index, &text, &length), c.found);
        if (c.found) {
            EXPECT_EQ(length, c.length);
        }
    }
}

TEST_F(ResFile, VersionBlocksAreCheckedRecordByRecord) {
    const Entry *version = find(16, 1);
    ASSERT_NE(version, nullptr);
    std::string block = res.substr(version->offset, version->size);
    std::string error;
    {
        Exact e(block);
        ASSERT_TRUE(ce::res::check_version_block(e.bytes.get(), e.size, &error)) << error;
    }
    // Any cut leaves the root claiming more than is there.
    for (size_t cut = 0; cut < block.size(); ++cut) {
        Exact e(block.substr(0, cut));
        ASSERT_FALSE(ce::res::check_version_block(e.bytes.get(), e.size, &error)) << "cut at " << cut;
        ce::res::VersionValue v;
        ASSERT_FALSE(ce::res::find_version_value(e.bytes.get(), e.size, {u"VarFileInfo", u"Translation"}, &v, &error))
            << "cut at " << cut;
    }
    // A child that claims more than its parent holds, or less than its own
    // fields, or whose key has no end, is refused.
    size_t child = 0;
    {
        const size_t key_end = 6 + sizeof(u"VS_VERSION_INFO");
        child = align4(align4(key_end) + 52);
    }
    struct Case {
        const char *what;
        size_t at;
        std::string bytes;
        const char *reason;
    };
    const Case cases[] = {
        {"child longer than parent", child, std::string("\xff\x7f", 2), "runs past its parent"},
        {"child shorter than its fields", child, std::string("\x02\x00", 2), "smaller than its own fields"},
        {"type neither text nor binary", child + 4, std::string("\x07\x00", 2), "type"},
        {"root is not VS_VERSION_INFO", 6, std::string("X\x00", 2), "VS_VERSION_INFO"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = block;
        damaged.replace(c.at, c.bytes.size(), c.bytes);
        Exact e(damaged);
        EXPECT_FALSE(ce::res::check_version_block(e.bytes.get(), e.size, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(ResId, NumbersNamesAndHashNumbers) {
    struct Case {
        std::u16string text;
        bool is_number;
        uint16_t number;
    };
    const Case cases[] = {
        {u"#103", true, 103}, {u"#0", true, 0},          {u"#65535", true, 65535}, {u"#65536", false, 0},
        {u"#", false, 0},     {u"#12a", false, 0},       {u"DIALOG", false, 0},   {u"", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ce::to_utf8(c.text));
        ce::res::Id id = ce::res::id_from_text(c.text);
        EXPECT_EQ(id.is_number, c.is_number);
        if (c.is_number) {
            EXPECT_EQ(id.number, c.number);
        } else {
            EXPECT_EQ(id.text, c.text);
        }
    }
    ce::res::Id a = ce::res::id_from_text(u"Settings"), b = ce::res::id_from_text(u"SETTINGS"),
                c = ce::res::id_from_text(u"SETTING");
    EXPECT_TRUE(ce::res::same_id(a, b));
    EXPECT_FALSE(ce::res::same_id(a, c));
}

TEST(ElfSection, FindsTheResourcesOfABuiltProgramAndSurvivesDamage) {
    std::string file = read_file(CE_TEST_MODULE);
    ASSERT_GT(file.size(), 64u);
    std::string res = read_file(CE_TEST_RES);
    size_t offset = 0, length = 0;
    std::string error;
    {
        Exact e(file);
        ASSERT_TRUE(ce::elf_section(e.bytes.get(), e.size, ".ce_resources", &offset, &length, &error)) << error;
        EXPECT_EQ(file.substr(offset, length), res) << "the section holds the compiled .res as it is";
        EXPECT_FALSE(ce::elf_section(e.bytes.get(), e.size, ".no_such_section", &offset, &length, &error));
    }
    // Cut anywhere, or with the section table moved away, it is refused or
    // found within what is left; never read past.
    const size_t cuts[] = {0, 4, 63, 64, offset, offset + length - 1, file.size() / 2, file.size() - 1};
    for (size_t cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Exact e(file.substr(0, cut));
        size_t o = 0, l = 0;
        if (ce::elf_section(e.bytes.get(), e.size, ".ce_resources", &o, &l, &error)) {
            EXPECT_LE(o + l, cut);
        }
    }
    std::string moved = file;
    put_dword(&moved, 0x28, 0xFFFFFF00);  // e_shoff, low half
    Exact e(moved);
    EXPECT_FALSE(ce::elf_section(e.bytes.get(), e.size, ".ce_resources", &offset, &length, &error));
    EXPECT_NE(error.find("section table"), std::string::npos) << error;
}

}  // namespace
