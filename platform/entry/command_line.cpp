// GetCommandLineW and GetCommandLineA: CE_COMMAND_LINE when the program was
// started by CreateProcessA (UTF-8, as this host keeps text), else the
// program's own arguments joined. Computed once: callers keep the pointer.
#include "entry/command_line.h"

#include "ce/resource.h"
#include "ce/text.h"
#include "core/codepage.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

namespace ce {

namespace {

std::mutex arguments_lock;
std::vector<std::string> *recorded_arguments = nullptr;

std::vector<std::string> program_arguments() {
    {
        std::lock_guard<std::mutex> guard(arguments_lock);
        if (recorded_arguments) return *recorded_arguments;
    }
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> words;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        words.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

struct CommandLine {
    std::u16string wide;
    std::string narrow;
};

const CommandLine &command_line() {
    static const CommandLine *line = [] {
        auto *l = new CommandLine;
        const char *given = getenv("CE_COMMAND_LINE");
        l->wide = from_utf8(given ? std::string(given) : join_command_line(program_arguments()));
        // The narrow form is in the PC's code page; what has no form there
        // becomes the default character.
        int n = WideCharToMultiByte(CP_ACP, 0, l->wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            l->narrow.assign(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(CP_ACP, 0, l->wide.c_str(), -1, l->narrow.data(), n, nullptr, nullptr);
            l->narrow.resize(static_cast<size_t>(n - 1));
        } else {
            for (char16_t c : l->wide) l->narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        return l;
    }();
    return *line;
}

template <class Char>
Char *skip_program(Char *line) {
    Char *p = line;
    if (*p == '"') {
        // A quoted program name ends at the next quote; no escapes inside.
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace

void set_program_arguments(int argc, char **argv) {
    auto *words = new std::vector<std::string>(argv, argv + argc);
    std::lock_guard<std::mutex> guard(arguments_lock);
    delete recorded_arguments;
    recorded_arguments = words;
}

std::string join_command_line(const std::vector<std::string> &words) {
    std::string line;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string &w = words[i];
        if (i) line += ' ';
        bool plain = !w.empty() && w.find_first_of(" \t\"") == std::string::npos;
        if (plain) {
            line += w;
        } else if (i == 0) {
            line += '"' + w + '"';
        } else {
            line += '"';
            size_t backslashes = 0;
            for (char c : w) {
                if (c == '\\') {
                    ++backslashes;
                    continue;
                }
                if (c == '"') {
                    line.append(backslashes * 2 + 1, '\\');
                } else {
                    line.append(backslashes, '\\');
                }
                backslashes = 0;
                line += c;
            }
            line.append(backslashes * 2, '\\');
            line += '"';
        }
    }
    return line;
}

LPWSTR arguments_after_program(LPWSTR line) { return skip_program(line); }
LPSTR arguments_after_program(LPSTR line) { return skip_program(line); }

}  // namespace ce

LPWSTR GetCommandLineW() { return const_cast<LPWSTR>(ce::command_line().wide.c_str()); }

LPSTR GetCommandLineA() { return const_cast<LPSTR>(ce::command_line().narrow.c_str()); }
