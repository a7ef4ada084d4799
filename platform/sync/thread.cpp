// Threads: real POSIX threads behind thread handles.
#include "ce/sync.h"
#include "core/handles.h"
#include "sync/errors.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>

namespace {

std::atomic<DWORD> g_next_thread_id{1};

// Threads started by CreateThread take the id handed to their creator; any
// other thread gets one at its first call.
thread_local DWORD t_thread_id = 0;

DWORD this_thread_id() {
    if (t_thread_id == 0) t_thread_id = g_next_thread_id.fetch_add(1);
    return t_thread_id;
}

// A thread object: signalled once its routine has returned. The running
// thread holds a reference of its own, so closing every handle leaves it
// running and the object alive until it ends.
struct ThreadObject : ce::Object {
    ThreadObject() : ce::Object(ce::ObjectKind::Thread) {}

    DWORD wait(DWORD timeout_ms) override {
        std::unique_lock<std::mutex> lock(mutex);
        if (timeout_ms == INFINITE) {
            done_cv.wait(lock, [this] { return done; });
            return WAIT_OBJECT_0;
        }
        return done_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return done; })
                   ? WAIT_OBJECT_0
                   : static_cast<DWORD>(WAIT_TIMEOUT);
    }

    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;         // guarded by mutex
    DWORD exit_code = STILL_ACTIVE;  // guarded by mutex
    LPTHREAD_START_ROUTINE routine = nullptr;
    LPVOID parameter = nullptr;
    DWORD id = 0;
};

struct StartBlock {
    std::shared_ptr<ThreadObject> thread;
};

void *thread_main(void *arg) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock *>(arg));
    std::shared_ptr<ThreadObject> self = std::move(start->thread);
    start.reset();
    t_thread_id = self->id;
    DWORD code = self->routine(self->parameter);
    {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->exit_code = code;
        self->done = true;
    }
    self->done_cv.notify_all();
    return nullptr;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress || (dwCreationFlags & ~(CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags & CREATE_SUSPENDED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->routine = lpStartAddress;
    thread->parameter = lpParameter;
    // The id is fixed before the thread starts so that the caller gets it at once.
    DWORD id = g_next_thread_id.fetch_add(1);
    thread->id = id;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (dwStackSize != 0) {
        size_t min = static_cast<size_t>(PTHREAD_STACK_MIN);
        size_t size = dwStackSize < min ? min : dwStackSize;
        pthread_attr_setstacksize(&attr, size);
    }
    auto *start = new StartBlock{thread};
    pthread_t tid;
    int rc = pthread_create(&tid, &attr, thread_main, start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ce::error_from_errno(rc));
        return nullptr;
    }
    if (lpThreadId) *lpThreadId = id;
    return ce::handle_insert(thread);
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = ce::handle_get<ThreadObject>(hThread, ce::ObjectKind::Thread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(thread->mutex);
    *lpExitCode = thread->exit_code;
    return TRUE;
}

DWORD GetCurrentThreadId() { return this_thread_id(); }
