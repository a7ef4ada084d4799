// The compiled resource file (.res) that the resource compiler writes, and
// the blocks inside it that the platform reads (string tables, version
// information). Pure parsing over bytes, with every length checked against
// what is there: nothing here ever reads past the end of its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ce::res {

// A resource's type or name: a number, or a UTF-16 string.
struct Id {
    bool is_number = true;
    uint16_t number = 0;
    std::u16string text;
};

// Equal as the platform compares names: numbers by value, strings without
// regard to ASCII case.
bool same_id(const Id &a, const Id &b);
// "#123" is the number 123; any other string is a name.
Id id_from_text(const std::u16string &text);

struct Entry {
    Id type;
    Id name;
    uint16_t language = 0;
    uint16_t memory_flags = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    size_t offset = 0;  // of the data, from the start of the file
    size_t size = 0;
};

// Parses a whole .res file (a sequence of header + data records, each DWORD
// aligned, the first the empty record that marks a 32-bit file). On any
// truncated or inconsistent record returns false with a message that names
// the record and what was wrong; entries then holds nothing.
bool parse_res(const unsigned char *data, size_t size, std::vector<Entry> *entries, std::string *error);

// The string at index (0..15) of a string-table block: its UTF-16 units (not
// terminated) and their count. False when the block is cut short before it.
// An absent string has length 0.
bool string_in_block(const unsigned char *block, size_t size, unsigned index, const unsigned char **text,
                     size_t *length);

// A value in a version-information block (VS_VERSIONINFO), by its path of
// keys (empty for the root's fixed file information). value_size is in bytes;
// is_text tells a text value, whose platform length is in characters.
struct VersionValue {
    const unsigned char *value = nullptr;
    size_t value_size = 0;
    bool is_text = false;
    uint16_t declared_length = 0;  // the record's own value length field
};
// False when the path does not exist or the block is malformed (error says
// which); block_size bounds every read.
bool find_version_value(const unsigned char *block, size_t block_size, const std::vector<std::u16string> &path,
                        VersionValue *out, std::string *error);

// Walks every record of a version block (for checks and fuzzing); false with
// an error at the first malformed one.
bool check_version_block(const unsigned char *block, size_t block_size, std::string *error);

}  // namespace ce::res
