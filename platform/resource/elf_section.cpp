#include "resource/elf_section.h"

#include <elf.h>

#include <cstring>

namespace ce {

bool elf_section(const unsigned char *file, size_t size, const std::string &name, size_t *offset, size_t *length,
                 std::string *error) {
    Elf64_Ehdr eh;
    if (size < sizeof eh || memcmp(file, ELFMAG, SELFMAG) != 0) {
        *error = "not an ELF file";
        return false;
    }
    memcpy(&eh, file, sizeof eh);
    if (eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB) {
        *error = "not a 64-bit little-endian ELF file";
        return false;
    }
    if (eh.e_shnum == 0 || eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum) {
        *error = "ELF file has no usable section table";
        return false;
    }
    if (eh.e_shoff > size || (size - eh.e_shoff) / sizeof(Elf64_Shdr) < eh.e_shnum) {
        *error = "ELF section table runs past the end of the file";
        return false;
    }
    auto section = [&](size_t i) {
        Elf64_Shdr sh;
        memcpy(&sh, file + eh.e_shoff + i * sizeof(Elf64_Shdr), sizeof sh);
        return sh;
    };
    Elf64_Shdr names = section(eh.e_shstrndx);
    if (names.sh_type == SHT_NOBITS || names.sh_offset > size || names.sh_size > size - names.sh_offset) {
        *error = "ELF section names run past the end of the file";
        return false;
    }
    const char *strings = reinterpret_cast<const char *>(file + names.sh_offset);
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh = section(i);
        if (sh.sh_name >= names.sh_size) continue;
        size_t room = names.sh_size - sh.sh_name;
        if (name.size() >= room || memcmp(strings + sh.sh_name, name.c_str(), name.size() + 1) != 0) continue;
        if (sh.sh_type == SHT_NOBITS || sh.sh_offset > size || sh.sh_size > size - sh.sh_offset) {
            *error = "ELF section " + name + " runs past the end of the file";
            return false;
        }
        *offset = sh.sh_offset;
        *length = sh.sh_size;
        return true;
    }
    *error = "no section " + name;
    return false;
}

}  // namespace ce
