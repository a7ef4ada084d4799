#include "core/root.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

extern "C" char *program_invocation_short_name;

namespace ce {

bool make_directories(const std::string &path) {
    if (path.empty()) return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !make_directories(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string machine_root() {
    std::string root;
    if (const char *env = getenv("CE_ROOT"); env && *env) {
        root = env;
    } else if (const char *xdg = getenv("XDG_DATA_HOME"); xdg && *xdg) {
        root = std::string(xdg) + "/ce-root";
    } else {
        const char *home = getenv("HOME");
        root = std::string(home && *home ? home : "/tmp") + "/.local/share/ce-root";
    }
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    make_directories(root);
    return root;
}

void report(const std::string &line) {
    fprintf(stderr, "%s: %s\n", program_invocation_short_name, line.c_str());
}

}  // namespace ce
