// Mutexes. Each is a robust, recursive POSIX mutex: a thread that dies while
// owning it leaves it abandoned, and the next waiter gets WAIT_ABANDONED with
// the ownership. A named mutex lives in a small file under
// CE_ROOT/sync/mutex/, mapped shared by every process that opens the name:
//  - presence: every process with a handle holds a shared flock on the file,
//    so the name exists exactly while some live process holds it (the kernel
//    drops the lock of a process that crashes);
//  - creation: a process takes an exclusive flock on a guard file, then tries
//    an exclusive flock on the mutex file: granted means nobody else holds the
//    name (a fresh create, which may re-initialise a file left by a crash),
//    refused means the name exists (ERROR_ALREADY_EXISTS).
#include "ce/sync.h"
#include "core/codepage.h"
#include "core/handles.h"
#include "core/root.h"
#include "sync/errors.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxNameChars = 260;  // MAX_PATH, the platform's limit for object names

struct MutexObject : ce::Object {
    MutexObject() : ce::Object(ce::ObjectKind::Mutex) {}
    ~MutexObject() override;

    DWORD wait(DWORD timeout_ms) override;
    bool release();

    pthread_mutex_t *mutex = nullptr;  // in `mapping`
    void *mapping = nullptr;
    size_t mapping_size = 0;
    int fd = -1;            // named: the mutex file, holding a shared flock
    std::u16string name;    // empty for an unnamed mutex
    // The thread of this process that owns it (0: none here) and how often it
    // took it. Checked before unlocking, so that a thread that does not own
    // the mutex never calls unlock on it. A mapping that a thread still owns
    // is never unmapped (the C library keeps owned robust mutexes on a
    // per-thread list inside the mapping).
    std::atomic<DWORD> owner{0};
    int depth = 0;  // touched only by the owner
    void taken() {
        owner.store(GetCurrentThreadId());
        ++depth;
    }
};

// Live named mutexes of this process, so that a second create in the same
// process gives a new handle to the same object.
std::mutex g_names_lock;
std::map<std::u16string, std::weak_ptr<MutexObject>> &names() {
    static auto *m = new std::map<std::u16string, std::weak_ptr<MutexObject>>;
    return *m;
}

MutexObject::~MutexObject() {
    if (name.size()) {
        std::lock_guard<std::mutex> guard(g_names_lock);
        auto it = names().find(name);
        if (it != names().end() && it->second.expired()) names().erase(it);
    }
    if (mapping && owner.load() == 0) munmap(mapping, mapping_size);
    if (fd >= 0) close(fd);  // drops this process's presence lock
}

bool init_mutex(pthread_mutex_t *m, bool shared) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    if (shared) pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    int rc = pthread_mutex_init(m, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc == 0;
}

DWORD MutexObject::wait(DWORD timeout_ms) {
    int rc;
    if (timeout_ms == 0) {
        rc = pthread_mutex_trylock(mutex);
    } else if (timeout_ms == INFINITE) {
        rc = pthread_mutex_lock(mutex);
    } else {
        timespec deadline;
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += timeout_ms / 1000;
        deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        rc = pthread_mutex_timedlock(mutex, &deadline);
    }
    switch (rc) {
    case 0:
        taken();
        return WAIT_OBJECT_0;
    case EOWNERDEAD:
        // The owner died holding it: the ownership passes to us, abandoned.
        pthread_mutex_consistent(mutex);
        depth = 0;  // what the dead owner counted is void
        taken();
        return WAIT_ABANDONED;
    case EBUSY:
    case ETIMEDOUT:
        return WAIT_TIMEOUT;
    default:
        SetLastError(ce::error_from_errno(rc));
        return WAIT_FAILED;
    }
}

bool MutexObject::release() {
    if (owner.load() != GetCurrentThreadId()) return false;
    if (--depth == 0) owner.store(0);
    pthread_mutex_unlock(mutex);
    return true;
}

// Keeps the characters that are safe in a file name, escapes the rest.
std::string file_name_for(const std::u16string &name) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (char16_t c : name) {
        bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                     c == u'-' || c == u'_' || c == u'.';
        if (plain && !(out.empty() && c == u'.')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            for (int shift = 12; shift >= 0; shift -= 4) out += hex[(c >> shift) & 0xF];
        }
    }
    return out + ".mutex";
}

std::shared_ptr<MutexObject> create_unnamed() {
    auto object = std::make_shared<MutexObject>();
    object->mapping_size = sizeof(pthread_mutex_t);
    object->mapping = mmap(nullptr, object->mapping_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (object->mapping == MAP_FAILED) {
        object->mapping = nullptr;
        ce::set_last_error_from_errno();
        return nullptr;
    }
    object->mutex = static_cast<pthread_mutex_t *>(object->mapping);
    if (!init_mutex(object->mutex, false)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return object;
}

// Opens or creates the named mutex across processes; *existed tells which.
std::shared_ptr<MutexObject> open_named(const std::u16string &name, bool *existed) {
    std::string dir = ce::machine_root() + "/sync/mutex";
    if (!ce::make_directories(dir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    int guard = open((dir + "/.guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (guard < 0) {
        ce::set_last_error_from_errno();
        return nullptr;
    }
    while (flock(guard, LOCK_EX) != 0 && errno == EINTR) {
    }
    auto object = std::make_shared<MutexObject>();
    object->mapping_size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    bool ok = false;
    do {
        object->fd = open((dir + "/" + file_name_for(name)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (object->fd < 0) break;
        bool fresh = flock(object->fd, LOCK_EX | LOCK_NB) == 0;
        if (fresh && ftruncate(object->fd, static_cast<off_t>(object->mapping_size)) != 0) break;
        void *map = mmap(nullptr, object->mapping_size, PROT_READ | PROT_WRITE, MAP_SHARED, object->fd, 0);
        if (map == MAP_FAILED) break;
        object->mapping = map;
        object->mutex = static_cast<pthread_mutex_t *>(map);
        // No other process holds the name: whatever the file holds is stale.
        if (fresh && !init_mutex(object->mutex, true)) {
            errno = ENOMEM;
            break;
        }
        // Every holder keeps a shared lock; the guard keeps others out meanwhile.
        if (flock(object->fd, LOCK_SH) != 0) break;
        *existed = !fresh;
        ok = true;
    } while (false);
    if (!ok) ce::set_last_error_from_errno();
    close(guard);
    if (!ok) return nullptr;
    object->name = name;  // only now: the destructor of a failed object must not touch the name list
    return object;
}

}  // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
    std::shared_ptr<MutexObject> object;
    bool existed = false;
    if (!lpName || !*lpName) {
        object = create_unnamed();
        if (!object) return nullptr;
    } else {
        std::u16string name(lpName);
        if (name.size() > kMaxNameChars) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return nullptr;
        }
        std::lock_guard<std::mutex> guard(g_names_lock);
        object = names()[name].lock();
        if (object) {
            existed = true;
        } else {
            object = open_named(name, &existed);
            if (!object) {
                names().erase(name);
                return nullptr;
            }
            names()[name] = object;
        }
    }
    // An existing mutex is opened, never taken: bInitialOwner is ignored.
    if (bInitialOwner && !existed) object->wait(INFINITE);
    HANDLE h = ce::handle_insert(object);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

BOOL ReleaseMutex(HANDLE hMutex) {
    auto object = ce::handle_get<MutexObject>(hMutex, ce::ObjectKind::Mutex);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!object->release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
