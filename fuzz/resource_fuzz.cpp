// libFuzzer target: the readers of compiled resources (.res records, string
// tables, version blocks) and of the ELF section that holds them, on any bytes.
#include "resource/elf_section.h"
#include "resource/res_format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void read_strings(const unsigned char *data, size_t size) {
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned char *text = nullptr;
        size_t length = 0;
        if (!ce::res::string_in_block(data, size, i, &text, &length)) break;
        // Touch the string's last unit: it must lie within the input.
        volatile unsigned char last = length ? text[length * 2 - 1] : 0;
        (void)last;
    }
}

void read_version(const unsigned char *data, size_t size) {
    std::string error;
    if (!ce::res::check_version_block(data, size, &error)) return;
    static const std::vector<std::vector<std::u16string>> paths = {
        {},
        {u"VarFileInfo", u"Translation"},
        {u"StringFileInfo", u"041104B0", u"FileVersion"},
    };
    for (const auto &path : paths) {
        ce::res::VersionValue value;
        if (!ce::res::find_version_value(data, size, path, &value, &error)) continue;
        if (value.value_size) {
            volatile unsigned char last = value.value[value.value_size - 1];
            (void)last;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<ce::res::Entry> entries;
    std::string error;
    if (ce::res::parse_res(data, size, &entries, &error)) {
        for (const ce::res::Entry &e : entries) {
            const unsigned char *bytes = data + e.offset;
            if (e.type.is_number && e.type.number == 6) read_strings(bytes, e.size);
            if (e.type.is_number && e.type.number == 16) read_version(bytes, e.size);
        }
    }
    // The same bytes as a bare string block, version block and ELF file.
    read_strings(data, size);
    read_version(data, size);
    size_t offset = 0, length = 0;
    if (ce::elf_section(data, size, ".ce_resources", &offset, &length, &error)) {
        std::vector<ce::res::Entry> inner;
        ce::res::parse_res(data + offset, length, &inner, &error);
    }
    return 0;
}
