#include "file/cmdline.h"

namespace ce::file {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string with_extension(std::string name) {
    size_t start = name.find_last_of("\\/:");
    start = start == std::string::npos ? 0 : start + 1;
    if (name.find('.', start) == std::string::npos) name += ".exe";
    return name;
}

}  // namespace

std::vector<std::string> split_command_line(const std::string &line) {
    std::vector<std::string> args;
    size_t i = 0, n = line.size();
    while (i < n && is_blank(line[i])) ++i;
    if (i == n) return args;

    // The program name: no escapes.
    std::string first;
    if (line[i] == '"') {
        size_t close = line.find('"', i + 1);
        first = line.substr(i + 1, (close == std::string::npos ? n : close) - i - 1);
        i = close == std::string::npos ? n : close + 1;
    } else {
        while (i < n && !is_blank(line[i])) first += line[i++];
    }
    args.push_back(first);

    std::string current;
    bool quoted = false, started = false;
    while (i < n) {
        char c = line[i];
        if (!quoted && is_blank(c)) {
            if (started) args.push_back(current);
            current.clear();
            started = false;
            ++i;
            continue;
        }
        started = true;
        if (c == '\\') {
            size_t j = i;
            while (j < n && line[j] == '\\') ++j;
            size_t count = j - i;
            if (j < n && line[j] == '"') {
                current.append(count / 2, '\\');
                if (count % 2) {
                    current += '"';
                    i = j + 1;
                } else {
                    i = j;  // the quote opens or closes a quoted part
                }
            } else {
                current.append(count, '\\');
                i = j;
            }
        } else if (c == '"') {
            if (quoted && i + 1 < n && line[i + 1] == '"') {
                current += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            current += c;
            ++i;
        }
    }
    if (started) args.push_back(current);
    return args;
}

std::vector<std::string> program_candidates(const std::string &line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i == line.size()) return out;
    if (line[i] == '"') {
        size_t close = line.find('"', i + 1);
        std::string name = line.substr(i + 1, (close == std::string::npos ? line.size() : close) - i - 1);
        if (!name.empty()) out.push_back(with_extension(name));
        return out;
    }
    std::string rest = line.substr(i);
    while (!rest.empty() && is_blank(rest.back())) rest.pop_back();
    // A tab ends the name for good; spaces are tried one after another.
    size_t tab = rest.find('\t');
    if (tab != std::string::npos) rest.resize(tab);
    for (size_t p = rest.find(' '); p != std::string::npos; p = rest.find(' ', p + 1)) {
        if (p > 0 && rest[p - 1] != ' ') out.push_back(with_extension(rest.substr(0, p)));
    }
    out.push_back(with_extension(rest));
    return out;
}

std::string join_command_line(const std::vector<std::string> &args) {
    std::string line;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string &a = args[k];
        if (k) line += ' ';
        bool plain = !a.empty() && a.find_first_of(" \t\"") == std::string::npos;
        if (plain) {
            line += a;
            continue;
        }
        if (k == 0) {  // the program name cannot hold a quote
            line += '"' + a + '"';
            continue;
        }
        line += '"';
        size_t slashes = 0;
        for (char c : a) {
            if (c == '\\') {
                ++slashes;
                continue;
            }
            if (c == '"') {
                line.append(slashes * 2 + 1, '\\');
            } else {
                line.append(slashes, '\\');
            }
            slashes = 0;
            line += c;
        }
        line.append(slashes * 2, '\\');
        line += '"';
    }
    return line;
}

}  // namespace ce::file
