// A stand-in for the synchronisation software's application manager, for
// tests and the demonstration. It reads the Setup.ini named on its command
// line, checks that the package files it names are there, appends what it
// was given to CE_ROOT/CEAppMgr.log, and ends with code 0.
#include "core/root.h"
#include "file/cmdline.h"
#include "file/paths.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    size_t e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// Everything after the program's own name (which may hold unquoted
// spaces, so it is found by its file name): the path of Setup.ini, with the
// quotes around it removed.
std::string ini_argument(const std::string &line) {
    std::string lower = line;
    for (char &c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    const std::string self = "ceappmgr.exe";
    size_t i = lower.find(self);
    if (i == std::string::npos) return "";
    i += self.size();
    if (i < line.size() && line[i] == '"') ++i;
    std::string rest = trim(line.substr(i));
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
    return rest;
}

bool exists(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int main(int argc, char **argv) {
    std::string line;
    if (const char *given = getenv("CE_COMMAND_LINE")) {
        line = given;
    } else {
        line = ce::file::join_command_line(std::vector<std::string>(argv, argv + argc));
    }
    std::ostringstream record;
    record << "command line: " << line << "\n";

    std::string ini = ini_argument(line), host;
    DWORD error = 0;
    if (ini.empty() || !ce::file::to_host_path(ini.c_str(), &host, &error) || !exists(host)) {
        record << "ini: " << ini << " (missing)\n";
    } else {
        record << "ini: " << ini << " (present)\n";
        // Package files named by CabFiles=, beside Setup.ini.
        std::ifstream in(host);
        std::string folder = host.substr(0, host.find_last_of('/') + 1);
        for (std::string text; std::getline(in, text);) {
            size_t eq = text.find('=');
            if (eq == std::string::npos || trim(text.substr(0, eq)) != "CabFiles") continue;
            std::stringstream names(text.substr(eq + 1));
            for (std::string name; std::getline(names, name, ',');) {
                name = trim(name);
                if (!name.empty()) record << "cab: " << name << (exists(folder + name) ? " (present)\n" : " (missing)\n");
            }
        }
    }
    std::ofstream log(ce::machine_root() + "/CEAppMgr.log", std::ios::app);
    log << record.str();
    printf("%s", record.str().c_str());
    return 0;
}
