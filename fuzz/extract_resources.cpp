// Writes each resource of some .res files to its own file, named by type:
// the fuzzers' seeds (dialog templates for the template parser, and so on).
//   extract_resources <out dir> <file.res>...
#include "resource/res_format.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: extract_resources <out dir> <file.res>...\n");
        return 2;
    }
    int written = 0;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<ce::res::Entry> entries;
        std::string error;
        if (!ce::res::parse_res(bytes.data(), bytes.size(), &entries, &error)) {
            fprintf(stderr, "extract_resources: %s: %s\n", argv[i], error.c_str());
            return 1;
        }
        for (const ce::res::Entry &e : entries) {
            std::string type = e.type.is_number ? std::to_string(e.type.number) : "named";
            std::string path = std::string(argv[1]) + "/type" + type + "_" + std::to_string(written++);
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char *>(bytes.data() + e.offset), static_cast<std::streamsize>(e.size));
        }
    }
    return 0;
}
