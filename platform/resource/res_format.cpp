#include "resource/res_format.h"

#include <cstring>

namespace ce::res {

namespace {

uint16_t word_at(const unsigned char *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t dword_at(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

size_t align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

char16_t fold(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::string hex(size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    do {
        s.insert(s.begin(), digits[n & 15]);
        n >>= 4;
    } while (n);
    return "0x" + s;
}

// Reads a type or name field at `pos`, which must end at or before `end`.
bool read_id(const unsigned char *data, size_t *pos, size_t end, Id *id, const char *what, std::string *error) {
    if (end - *pos < 2) {
        *error = std::string(what) + " is cut off by the header's end";
        return false;
    }
    if (word_at(data + *pos) == 0xFFFF) {
        if (end - *pos < 4) {
            *error = std::string(what) + " number is cut off by the header's end";
            return false;
        }
        id->is_number = true;
        id->number = word_at(data + *pos + 2);
        *pos += 4;
        return true;
    }
    id->is_number = false;
    id->text.clear();
    for (;;) {
        if (end - *pos < 2) {
            *error = std::string(what) + " string has no terminator within the header";
            return false;
        }
        char16_t c = word_at(data + *pos);
        *pos += 2;
        if (c == 0) break;
        id->text.push_back(c);
    }
    return true;
}

}  // namespace

bool same_id(const Id &a, const Id &b) {
    if (a.is_number != b.is_number) return false;
    if (a.is_number) return a.number == b.number;
    if (a.text.size() != b.text.size()) return false;
    for (size_t i = 0; i < a.text.size(); ++i)
        if (fold(a.text[i]) != fold(b.text[i])) return false;
    return true;
}

Id id_from_text(const std::u16string &text) {
    Id id;
    if (text.size() >= 2 && text[0] == u'#') {
        uint32_t n = 0;
        bool digits = true;
        for (size_t i = 1; i < text.size() && digits; ++i) {
            if (text[i] < u'0' || text[i] > u'9') digits = false;
            else n = n * 10 + (text[i] - u'0');
            if (n > 0xFFFF) digits = false;
        }
        if (digits) {
            id.number = static_cast<uint16_t>(n);
            return id;
        }
    }
    id.is_number = false;
    id.text = text;
    return id;
}

bool parse_res(const unsigned char *data, size_t size, std::vector<Entry> *entries, std::string *error) {
    entries->clear();
    std::vector<Entry> found;
    size_t pos = 0;
    unsigned record = 0;
    auto fail = [&](const std::string &why) {
        *error = "resource record " + std::to_string(record) + " at offset " + hex(pos) + ": " + why;
        return false;
    };
    if (size == 0) {
        *error = "resource data is empty";
        return false;
    }
    while (pos < size) {
        if (size - pos < 8) return fail("header is cut off (" + std::to_string(size - pos) + " bytes left)");
        uint32_t data_size = dword_at(data + pos);
        uint32_t header_size = dword_at(data + pos + 4);
        if (header_size < 8 || header_size > size - pos)
            return fail("header size " + std::to_string(header_size) + " does not fit in the " +
                        std::to_string(size - pos) + " bytes left");
        if (data_size > size - pos - header_size)
            return fail("data size " + std::to_string(data_size) + " runs past the end of the file (" +
                        std::to_string(size - pos - header_size) + " bytes after the header)");
        size_t header_end = pos + header_size;
        size_t field = pos + 8;
        Entry e;
        if (!read_id(data, &field, header_end, &e.type, "type", error)) return fail(*error);
        if (!read_id(data, &field, header_end, &e.name, "name", error)) return fail(*error);
        field = align4(field);
        if (field > header_end || header_end - field < 16)
            return fail("header size " + std::to_string(header_size) + " leaves no room for the fixed fields");
        // DataVersion (skipped), MemoryFlags, LanguageId, Version, Characteristics.
        e.memory_flags = word_at(data + field + 4);
        e.language = word_at(data + field + 6);
        e.version = dword_at(data + field + 8);
        e.characteristics = dword_at(data + field + 12);
        e.offset = header_end;
        e.size = data_size;
        if (record == 0) {
            // A 32-bit resource file starts with an empty record of type 0.
            if (!(e.type.is_number && e.type.number == 0 && data_size == 0))
                return fail("not a 32-bit resource file: the first record is not the empty marker record");
        } else if (!(e.type.is_number && e.type.number == 0)) {
            found.push_back(std::move(e));
        }
        // Records are DWORD aligned; the last one may end without its padding.
        size_t next = align4(header_end + data_size);
        pos = next < size ? next : size;
        ++record;
    }
    *entries = std::move(found);
    return true;
}

bool string_in_block(const unsigned char *block, size_t size, unsigned index, const unsigned char **text,
                     size_t *length) {
    size_t pos = 0;
    for (unsigned i = 0; i <= index; ++i) {
        if (size - pos < 2) return false;
        size_t count = word_at(block + pos);
        pos += 2;
        if (count > (size - pos) / 2) return false;
        if (i == index) {
            *text = block + pos;
            *length = count;
            return true;
        }
        pos += count * 2;
    }
    return false;
}

namespace {

// One record of a version block: wLength, wValueLength, wType, key, value,
// children. Offsets are from the start of the block, where alignment counts.
struct VersionRecord {
    size_t start = 0;
    size_t end = 0;  // start + wLength
    std::u16string key;
    size_t value = 0;
    size_t value_size = 0;
    bool is_text = false;
    uint16_t declared_length = 0;
    size_t children = 0;  // first child, DWORD aligned
};

bool read_version_record(const unsigned char *block, size_t start, size_t limit, VersionRecord *r,
                         std::string *error) {
    auto fail = [&](const std::string &why) {
        *error = "version record at offset " + hex(start) + ": " + why;
        return false;
    };
    if (limit - start < 6) return fail("cut off before its length fields");
    size_t length = word_at(block + start);
    if (length < 6) return fail("length " + std::to_string(length) + " is smaller than its own fields");
    if (length > limit - start)
        return fail("length " + std::to_string(length) + " runs past its parent (" + std::to_string(limit - start) +
                    " bytes left)");
    r->start = start;
    r->end = start + length;
    r->declared_length = word_at(block + start + 2);
    uint16_t type = word_at(block + start + 4);
    if (type > 1) return fail("type " + std::to_string(type) + " is neither binary (0) nor text (1)");
    r->is_text = type == 1;
    size_t pos = start + 6;
    r->key.clear();
    for (;;) {
        if (r->end - pos < 2) return fail("key has no terminator within the record");
        char16_t c = word_at(block + pos);
        pos += 2;
        if (c == 0) break;
        r->key.push_back(c);
    }
    pos = align4(pos);
    r->value_size = r->is_text ? static_cast<size_t>(r->declared_length) * 2 : r->declared_length;
    if (r->value_size == 0) {
        r->value = pos < r->end ? pos : r->end;
    } else {
        if (pos > r->end || r->value_size > r->end - pos)
            return fail("value of " + std::to_string(r->value_size) + " bytes runs past the record's end");
        r->value = pos;
        pos += r->value_size;
    }
    pos = align4(pos);
    r->children = pos;
    return true;
}

bool walk(const unsigned char *block, const VersionRecord &r, unsigned depth, std::string *error) {
    if (depth > 32) {
        *error = "version records nest deeper than 32 levels";
        return false;
    }
    for (size_t pos = r.children; pos < r.end;) {
        VersionRecord child;
        if (!read_version_record(block, pos, r.end, &child, error)) return false;
        if (!walk(block, child, depth + 1, error)) return false;
        pos = align4(child.end);
    }
    return true;
}

bool read_root(const unsigned char *block, size_t block_size, VersionRecord *root, std::string *error) {
    if (!read_version_record(block, 0, block_size, root, error)) return false;
    if (root->key != u"VS_VERSION_INFO") {
        *error = "version block does not start with VS_VERSION_INFO";
        return false;
    }
    return true;
}

}  // namespace

bool find_version_value(const unsigned char *block, size_t block_size, const std::vector<std::u16string> &path,
                        VersionValue *out, std::string *error) {
    VersionRecord r;
    if (!read_root(block, block_size, &r, error)) return false;
    for (const std::u16string &key : path) {
        Id want;
        want.is_number = false;
        want.text = key;
        bool found = false;
        for (size_t pos = r.children; pos < r.end && !found;) {
            VersionRecord child;
            if (!read_version_record(block, pos, r.end, &child, error)) return false;
            Id have;
            have.is_number = false;
            have.text = child.key;
            if (same_id(want, have)) {
                r = child;
                found = true;
            }
            pos = align4(child.end);
        }
        if (!found) {
            std::string name;
            for (char16_t c : key) name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            *error = "no version record named \"" + name + "\"";
            return false;
        }
    }
    out->value = block + r.value;
    out->value_size = r.value_size;
    out->is_text = r.is_text;
    out->declared_length = r.declared_length;
    return true;
}

bool check_version_block(const unsigned char *block, size_t block_size, std::string *error) {
    VersionRecord root;
    if (!read_root(block, block_size, &root, error)) return false;
    return walk(block, root, 0, error);
}

}  // namespace ce::res
