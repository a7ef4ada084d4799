#include "testsupport/temp_root.h"

#include "core/root.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace ce::test {

TempRoot::TempRoot() {
    if (const char *old = getenv("CE_ROOT")) {
        saved_ = old;
        had_saved_ = true;
    }
    const char *tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/ce-root-XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed for " + templ);
    path_ = templ;
    setenv("CE_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
    remove_tree(path_);
    if (had_saved_)
        setenv("CE_ROOT", saved_.c_str(), 1);
    else
        unsetenv("CE_ROOT");
}

void TempRoot::write(const std::string &relative, const std::string &bytes) const {
    std::string full = file(relative);
    make_directories(full.substr(0, full.find_last_of('/')));
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + full);
}

std::string TempRoot::read(const std::string &relative) const {
    std::ifstream in(file(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SavedWorkingDirectory::SavedWorkingDirectory() {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) throw std::runtime_error("cannot read the working directory");
    saved_ = buf;
}

SavedWorkingDirectory::~SavedWorkingDirectory() {
    if (chdir(saved_.c_str()) != 0) fprintf(stderr, "cannot return to %s\n", saved_.c_str());
}

void remove_tree(const std::string &path) {
    nftw(
        path.c_str(),
        [](const char *p, const struct stat *, int, struct FTW *) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

}  // namespace ce::test

