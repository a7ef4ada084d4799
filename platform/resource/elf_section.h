// Finds a named section in the bytes of an ELF file (64-bit, little-endian,
// as this host builds), checking every offset and size against the file.
#pragma once

#include <cstddef>
#include <string>

namespace ce {

// True with the section's place in the file; false with an error that says
// what is missing or wrong.
bool elf_section(const unsigned char *file, size_t size, const std::string &name, size_t *offset, size_t *length,
                 std::string *error);

}  // namespace ce
