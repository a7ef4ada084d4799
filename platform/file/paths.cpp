#include "file/paths.h"

#include "ce/file.h"
#include "ce/text.h"
#include "core/root.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ce::file {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_drive_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Splits the part of a path after its root into components, resolving "."
// and ".." as the platform does in the text.
void push_components(const std::string &rest, std::vector<std::string> &parts) {
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = i;
        while (j < rest.size() && !is_separator(rest[j])) ++j;
        std::string part = rest.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
}

// Appends one component to a host folder path: the exact name when it
// exists, else the first entry equal to it without regard to ASCII case,
// else the name as given (for a file about to be made).
void append_component(std::string &host, const std::string &name) {
    std::string exact = host + "/" + name;
    struct stat st;
    if (lstat(exact.c_str(), &st) == 0) {
        host = exact;
        return;
    }
    if (DIR *dir = opendir(host.c_str())) {
        while (struct dirent *e = readdir(dir)) {
            if (strcasecmp(e->d_name, name.c_str()) == 0) {
                host += "/";
                host += e->d_name;
                closedir(dir);
                return;
            }
        }
        closedir(dir);
    }
    host = exact;
}

// The Windows form of the working directory in UTF-8, or false.
bool current_windows_dir(std::string *windows_utf8) {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return false;
    std::string ansi;
    if (!to_windows_path(buf, &ansi)) return false;
    return ansi_to_host(ansi, windows_utf8);
}

}  // namespace

std::string dosdevices_dir() {
    std::string root = machine_root();
    std::string dir = root + "/dosdevices";
    struct stat st;
    if (lstat(dir.c_str(), &st) == 0) return dir;
    // Built aside and renamed into place, so that a process starting at the
    // same time sees either no drives or all the default ones.
    std::string drive_c = root + "/drive_c";
    make_directories(drive_c);
    std::string temp = root + "/.dosdevices-XXXXXX";
    if (!mkdtemp(temp.data())) return dir;
    bool ok = symlink(drive_c.c_str(), (temp + "/c:").c_str()) == 0 && symlink("/", (temp + "/z:").c_str()) == 0;
    if (!ok || rename(temp.c_str(), dir.c_str()) != 0) {
        unlink((temp + "/c:").c_str());
        unlink((temp + "/z:").c_str());
        rmdir(temp.c_str());
    }
    return dir;
}

bool ansi_to_host(const std::string &ansi, std::string *utf8) {
    if (GetACP() == CP_UTF8 || ansi.empty()) {
        *utf8 = ansi;
        return true;
    }
    int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (n <= 0) return false;
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    if (m <= 0) return false;
    utf8->assign(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8->data(), m, nullptr, nullptr);
    return true;
}

bool host_to_ansi(const std::string &utf8, std::string *ansi) {
    if (GetACP() == CP_UTF8 || utf8.empty()) {
        *ansi = utf8;
        return true;
    }
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return false;
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    BOOL lossy = FALSE;
    int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, &lossy);
    if (m <= 0 || lossy) return false;
    ansi->assign(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), n, ansi->data(), m, nullptr, nullptr);
    return true;
}

bool to_host_path(const char *windows_path, std::string *host, DWORD *error) {
    std::string path;
    if (!windows_path || !*windows_path || !ansi_to_host(windows_path, &path)) {
        *error = windows_path && *windows_path ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (path.rfind("\\\\?\\", 0) == 0) path.erase(0, 4);  // the long-path prefix changes nothing here

    char drive = 0;
    std::vector<std::string> parts;
    if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        *error = ERROR_BAD_NETPATH;  // no network shares on this host
        return false;
    }
    if (path.size() >= 2 && is_drive_letter(path[0]) && path[1] == ':') {
        drive = lower(path[0]);
        std::string rest = path.substr(2);
        if (rest.empty() || !is_separator(rest[0])) {
            // Drive-relative: from the working directory when it is on that
            // drive, else from the drive's root.
            std::string cwd;
            if (current_windows_dir(&cwd) && lower(cwd[0]) == drive) push_components(cwd.substr(2), parts);
        }
        push_components(rest, parts);
    } else {
        std::string cwd;
        if (!current_windows_dir(&cwd)) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        drive = lower(cwd[0]);
        if (!is_separator(path[0])) push_components(cwd.substr(2), parts);
        push_components(path, parts);
    }

    std::string drive_link = dosdevices_dir() + "/" + drive + ":";
    struct stat st;
    if (stat(drive_link.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::string out = drive_link;
    for (const std::string &part : parts) append_component(out, part);
    *host = out;
    return true;
}

bool to_windows_path(const std::string &host, std::string *windows) {
    char real[PATH_MAX];
    if (!realpath(host.c_str(), real)) return false;
    std::string path = real;

    std::string dir = dosdevices_dir();
    DIR *d = opendir(dir.c_str());
    if (!d) return false;
    char best_drive = 0;
    size_t best_len = 0;
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() != 2 || name[1] != ':' || !is_drive_letter(name[0])) continue;
        char target[PATH_MAX];
        if (!realpath((dir + "/" + name).c_str(), target)) continue;
        std::string t = target;
        bool inside = t == "/" || path == t || (path.rfind(t, 0) == 0 && path[t.size()] == '/');
        size_t len = t == "/" ? 1 : t.size() + 1;
        if (inside && (len > best_len || (len == best_len && lower(name[0]) < lower(best_drive)))) {
            best_drive = name[0];
            best_len = len;
        }
    }
    closedir(d);
    if (!best_drive) return false;

    std::string rest = best_len <= path.size() ? path.substr(best_len) : std::string();
    std::string out;
    out += upper(best_drive);
    out += ":\\";
    for (char c : rest) out += c == '/' ? '\\' : c;
    return host_to_ansi(out, windows);
}

DWORD not_found_error(const std::string &host) {
    size_t slash = host.find_last_of('/');
    if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
    struct stat st;
    std::string parent = slash == 0 ? "/" : host.substr(0, slash);
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD error_from_errno(int e) {
    switch (e) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EIO: return ERROR_GEN_FAILURE;
    default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace ce::file
