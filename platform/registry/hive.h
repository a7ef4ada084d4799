// The registry tree in memory, and its text form: the registry editor's export
// format ("Windows Registry Editor Version 5.00", [HKEY_LOCAL_MACHINE\...]
// sections, "name"="text", dword:, hex:, hex(n): lines).
#pragma once

#include "ce/base.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ce::reg {

struct Value {
    std::u16string name;  // as first written
    DWORD type = 0;
    std::vector<uint8_t> data;
};

struct Key {
    std::u16string name;  // as first written
    // Both maps are keyed by the folded name, so names compare without regard
    // to case and enumeration runs in case-insensitive name order.
    std::map<std::u16string, std::unique_ptr<Key>> subkeys;
    std::map<std::u16string, Value> values;
};

// A deep copy of a tree.
Key copy_of(const Key &key);

// The form of a name used for comparison and ordering.
std::u16string fold(std::u16string_view name);

// Splits "a\b\c" into its components; empty components are skipped.
std::vector<std::u16string> split_path(std::u16string_view path);

// The key at a path of folded components below `root`, or null.
Key *find(Key &root, const std::vector<std::u16string> &path);

struct ParseError {
    int line = 0;
    std::string message;
};

// Applies a registry export to `root` (HKEY_LOCAL_MACHINE): sections create
// keys, "[-...]" deletes a key, "name"=- deletes a value. UTF-8, or UTF-16LE
// with its byte-order mark. On error nothing of `root` is changed and `error`
// names the line and what is wrong with it.
bool parse(std::string_view text, Key &root, ParseError *error);

// The whole tree as an export (UTF-8). Every key is written, empty ones too,
// so that a key survives a round trip.
std::string print(const Key &root);

// One key and everything below it, for showing a part of the registry;
// `path` is the key's full name below HKEY_LOCAL_MACHINE ("" for the root).
std::string print_subtree(const Key &key, const std::u16string &path);

}  // namespace ce::reg
