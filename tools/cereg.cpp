// cereg: reads and changes HKEY_LOCAL_MACHINE of a machine root, so that a
// user can insert a simulated card or look at the registry without an editor.
#include "platform.h"

#include "core/codepage.h"
#include "registry/hive.h"
#include "registry/store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: cereg <command> ...   (HKEY_LOCAL_MACHINE of CE_ROOT)\n"
    "  cereg query  KEY [NAME]             show a key (and what lies below it) or one value\n"
    "  cereg add    KEY [NAME TYPE DATA]   create a key, or set a value in it (creating the key)\n"
    "  cereg delete KEY [NAME]             delete a key with everything below it, or one value\n"
    "  cereg import FILE|-                 apply a registry export (all or nothing)\n"
    "  cereg export [KEY] [FILE]           write the registry, or a key, as an export\n"
    "KEY is a path such as 'Drivers\\Active\\02'; a leading 'HKEY_LOCAL_MACHINE\\' or 'HKLM\\' is allowed.\n"
    "TYPE is REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ (items separated by '\\0'), REG_DWORD (decimal or\n"
    "0x hex) or REG_BINARY (hex bytes, e.g. 01,ff,20).\n";

struct Failure {
    std::string message;
    int status;
};

[[noreturn]] void fail(const std::string &message, int status = 1) { throw Failure{message, status}; }

std::string reason(LONG code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_BADDB: return "the registry file is malformed: " + ce::reg::load_error();
    case ERROR_INVALID_PARAMETER: return "invalid name";
    case ERROR_REGISTRY_IO_FAILED: return "the registry file could not be written";
    default: return "error " + std::to_string(code);
    }
}

std::u16string key_path(const std::string &arg) {
    std::string path = arg;
    for (const char *root : {"HKEY_LOCAL_MACHINE", "HKLM"}) {
        size_t n = strlen(root);
        if (path.size() >= n && strncasecmp(path.c_str(), root, n) == 0 && (path.size() == n || path[n] == '\\'))
            path = path.substr(path.size() == n ? n : n + 1);
    }
    return ce::from_utf8(path);
}

std::string full_name(const std::u16string &path) {
    return "HKEY_LOCAL_MACHINE" + (path.empty() ? std::string() : "\\" + ce::to_utf8(path));
}

HKEY open_existing(const std::u16string &path) {
    HKEY key;
    LONG r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
    if (r == ERROR_FILE_NOT_FOUND) fail("no such key: " + full_name(path));
    if (r != ERROR_SUCCESS) fail("cannot open " + full_name(path) + ": " + reason(r));
    return key;
}

std::vector<BYTE> utf16_data(const std::u16string &s) {
    std::vector<BYTE> out(reinterpret_cast<const BYTE *>(s.data()),
                          reinterpret_cast<const BYTE *>(s.data() + s.size()));
    return out;
}

// Turns a TYPE and DATA argument into what RegSetValueExW takes.
void parse_value(const std::string &type_name, const std::string &data, DWORD &type, std::vector<BYTE> &bytes) {
    if (type_name == "REG_SZ" || type_name == "REG_EXPAND_SZ") {
        type = type_name == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        bytes = utf16_data(ce::from_utf8(data) + u'\0');
    } else if (type_name == "REG_MULTI_SZ") {
        type = REG_MULTI_SZ;
        std::u16string all;
        size_t start = 0;
        for (;;) {
            size_t sep = data.find("\\0", start);
            all += ce::from_utf8(data.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
            all += u'\0';
            if (sep == std::string::npos) break;
            start = sep + 2;
        }
        bytes = utf16_data(all + u'\0');
    } else if (type_name == "REG_DWORD") {
        errno = 0;
        char *end = nullptr;
        unsigned long long v = strtoull(data.c_str(), &end, 0);
        if (data.empty() || data[0] == '-' || *end != '\0' || errno == ERANGE || v > 0xFFFFFFFFull)
            fail("malformed REG_DWORD data '" + data + "' (a number from 0 to 4294967295, decimal or 0x hex)");
        type = REG_DWORD;
        uint32_t d = static_cast<uint32_t>(v);
        bytes.assign(reinterpret_cast<BYTE *>(&d), reinterpret_cast<BYTE *>(&d) + 4);
    } else if (type_name == "REG_BINARY") {
        type = REG_BINARY;
        std::string hex;
        for (char c : data)
            if (c != ',' && c != ' ') hex += c;
        if (hex.size() % 2 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            fail("malformed REG_BINARY data '" + data + "' (hex bytes such as 01,ff,20)");
        for (size_t i = 0; i < hex.size(); i += 2) bytes.push_back(static_cast<BYTE>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    } else {
        fail("unknown value type '" + type_name + "' (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY)");
    }
}

std::string read_all(const std::string &file) {
    if (file == "-") return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    std::ifstream in(file, std::ios::binary);
    if (!in) fail("cannot read " + file + ": " + strerror(errno));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The export text of a key and what lies below it.
std::string export_key(const std::u16string &path) {
    std::string text;
    LONG r = ce::reg::with_tree([&](ce::reg::Key &root) -> LONG {
        ce::reg::Key *key = ce::reg::find(root, ce::reg::split_path(path));
        if (!key) return ERROR_FILE_NOT_FOUND;
        text = ce::reg::print_subtree(*key, path);
        return ERROR_SUCCESS;
    });
    if (r == ERROR_FILE_NOT_FOUND) fail("no such key: " + full_name(path));
    if (r != ERROR_SUCCESS) fail("cannot read the registry: " + reason(r));
    return text;
}

int query(const std::vector<std::string> &args) {
    if (args.empty() || args.size() > 2) fail("query takes KEY [NAME] (try --help)", 2);
    std::u16string path = key_path(args[0]);
    if (args.size() == 1) {
        fputs(export_key(path).c_str(), stdout);
        return 0;
    }
    ce::reg::Value value;
    LONG r = ce::reg::with_tree([&](ce::reg::Key &root) -> LONG {
        ce::reg::Key *key = ce::reg::find(root, ce::reg::split_path(path));
        if (!key) return ERROR_PATH_NOT_FOUND;
        auto it = key->values.find(ce::reg::fold(ce::from_utf8(args[1])));
        if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
        value = it->second;
        return ERROR_SUCCESS;
    });
    if (r == ERROR_PATH_NOT_FOUND) fail("no such key: " + full_name(path));
    if (r == ERROR_FILE_NOT_FOUND) fail("no value '" + args[1] + "' in " + full_name(path));
    if (r != ERROR_SUCCESS) fail("cannot read the registry: " + reason(r));
    // Shown the way the registry file writes it.
    ce::reg::Key one;
    one.values[u""] = value;
    std::string text = ce::reg::print_subtree(one, path);
    size_t at = text.find('\n', text.find('[')) + 1;
    fputs(text.substr(at, text.find("\n\n", at) - at + 1).c_str(), stdout);
    return 0;
}

int add(const std::vector<std::string> &args) {
    if (args.size() != 1 && args.size() != 4) fail("add takes KEY, or KEY NAME TYPE DATA (try --help)", 2);
    std::u16string path = key_path(args[0]);
    DWORD type = 0;
    std::vector<BYTE> bytes;
    if (args.size() == 4) parse_value(args[2], args[3], type, bytes);  // checked before anything changes
    HKEY key;
    LONG r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) fail("cannot create " + full_name(path) + ": " + reason(r));
    if (args.size() == 4) {
        std::u16string name = ce::from_utf8(args[1]);
        r = RegSetValueExW(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) fail("cannot set '" + args[1] + "': " + reason(r));
    return 0;
}

int remove(const std::vector<std::string> &args) {
    if (args.empty() || args.size() > 2) fail("delete takes KEY [NAME] (try --help)", 2);
    std::u16string path = key_path(args[0]);
    if (args.size() == 2) {
        HKEY key = open_existing(path);
        LONG r = RegDeleteValueW(key, ce::from_utf8(args[1]).c_str());
        RegCloseKey(key);
        if (r == ERROR_FILE_NOT_FOUND) fail("no value '" + args[1] + "' in " + full_name(path));
        if (r != ERROR_SUCCESS) fail("cannot delete '" + args[1] + "': " + reason(r));
        return 0;
    }
    if (ce::reg::split_path(path).empty()) fail("refusing to delete HKEY_LOCAL_MACHINE itself");
    LONG r = RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    if (r == ERROR_FILE_NOT_FOUND) fail("no such key: " + full_name(path));
    if (r != ERROR_SUCCESS) fail("cannot delete " + full_name(path) + ": " + reason(r));
    return 0;
}

int import(const std::vector<std::string> &args) {
    if (args.size() != 1) fail("import takes FILE or - (try --help)", 2);
    std::string text = read_all(args[0]);
    std::string error;
    LONG r = ce::reg::import_text(text, &error);
    if (r == ERROR_BADDB && !error.empty()) fail(args[0] + ": " + error + " (nothing imported)");
    if (r != ERROR_SUCCESS) fail("cannot import " + args[0] + ": " + reason(r));
    return 0;
}

int export_(const std::vector<std::string> &args) {
    if (args.size() > 2) fail("export takes [KEY] [FILE] (try --help)", 2);
    std::string text = export_key(args.empty() ? u"" : key_path(args[0]));
    if (args.size() < 2 || args[1] == "-") {
        fputs(text.c_str(), stdout);
        return 0;
    }
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) fail("cannot write " + args[1] + ": " + strerror(errno));
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2 || strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0) {
        fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "query") return query(args);
        if (command == "add") return add(args);
        if (command == "delete") return remove(args);
        if (command == "import") return import(args);
        if (command == "export") return export_(args);
        fail("unknown command '" + command + "' (try --help)", 2);
    } catch (const Failure &f) {
        fprintf(stderr, "cereg: %s\n", f.message.c_str());
        return f.status;
    }
}
