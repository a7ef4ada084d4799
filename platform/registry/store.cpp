#include "registry/store.h"

#include "core/root.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce::reg {
namespace {

// What identifies one version of the file: a save always renames a new file
// into place, so the inode changes with every write.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    bool operator==(const FileId &o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

struct State {
    std::recursive_mutex lock;
    std::string path;  // file the tree was loaded from
    FileId id;
    bool loaded = false;
    Key root;
    std::string error;  // set while the file cannot be read
};

State &state() {
    static State *s = new State;  // lives until exit; registry calls may run in atexit handlers
    return *s;
}

FileId file_id(const std::string &path) {
    FileId id;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return id;
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime = st.st_mtim;
    return id;
}

bool read_file(const std::string &path, std::string &out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fd);
    return n == 0;
}

// Brings the tree in line with the file; false when the file is unreadable.
bool refresh(State &s) {
    std::string path = machine_root() + "/system.reg";
    FileId id = file_id(path);
    if (s.loaded && path == s.path && id == s.id) return s.error.empty();
    s.path = path;
    s.id = id;
    s.loaded = true;
    s.root = Key{};
    std::string previous_error = std::move(s.error);
    s.error.clear();
    if (!id.exists) return true;
    std::string text;
    if (!read_file(path, text)) {
        s.error = path + ": cannot read the registry file: " + strerror(errno);
    } else {
        ParseError e;
        Key fresh;
        if (parse(text, fresh, &e)) {
            s.root = std::move(fresh);
        } else {
            s.error = path + ":" + std::to_string(e.line) + ": " + e.message;
        }
    }
    if (!s.error.empty() && s.error != previous_error)
        report("registry file is malformed and left untouched: " + s.error);
    return s.error.empty();
}

bool save(State &s, std::string &why) {
    std::string text = print(s.root);
    std::string tmp = s.path + ".tmp." + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = tmp + ": " + strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            why = tmp + ": " + strerror(errno);
            close(fd);
            unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        why = tmp + ": " + strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    if (rename(tmp.c_str(), s.path.c_str()) != 0) {
        why = s.path + ": " + strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    std::string dir = s.path.substr(0, s.path.find_last_of('/'));
    if (int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    s.id = file_id(s.path);
    return true;
}

// Holds the cross-process lock on system.reg.lock while alive.
class FileLock {
public:
    explicit FileLock(const std::string &registry_path) {
        fd_ = open((registry_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

std::string registry_file() { return machine_root() + "/system.reg"; }

LONG with_tree(const std::function<LONG(Key &root)> &fn) {
    State &s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (!refresh(s)) return ERROR_BADDB;
    return fn(s.root);
}

LONG change_tree(const std::function<LONG(Key &root, bool &changed)> &fn) {
    State &s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    FileLock file_lock(registry_file());
    if (!file_lock.held()) {
        report("cannot lock " + registry_file() + ".lock: " + strerror(errno));
        return ERROR_REGISTRY_IO_FAILED;
    }
    if (!refresh(s)) return ERROR_BADDB;
    // Work on a copy so that a failed change or save leaves the tree as on disk.
    Key work = copy_of(s.root);
    bool changed = false;
    LONG result = fn(work, changed);
    if (result != ERROR_SUCCESS || !changed) return result;
    std::swap(s.root, work);
    std::string why;
    if (!save(s, why)) {
        std::swap(s.root, work);
        report("cannot save the registry: " + why);
        return ERROR_REGISTRY_IO_FAILED;
    }
    return ERROR_SUCCESS;
}

std::string load_error() {
    State &s = state();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    refresh(s);
    return s.error;
}

LONG import_text(std::string_view text, std::string *error) {
    return change_tree([&](Key &root, bool &changed) -> LONG {
        ParseError e;
        if (!parse(text, root, &e)) {
            if (error) *error = "line " + std::to_string(e.line) + ": " + e.message;
            return ERROR_BADDB;
        }
        changed = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace ce::reg
