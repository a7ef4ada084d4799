// The process-wide handle table shared by every object family of the platform.
// Handles are small tagged numbers, never reused while the process runs, so a
// closed or invented handle is always recognised as such instead of crashing.
#pragma once

#include "ce/base.h"

#include <memory>

namespace ce {

enum class ObjectKind { RegistryKey, SerialPort, Thread, Mutex, Process, File, Event, Other };

// Base of everything a HANDLE (or HKEY) can name. The object lives as long as
// its handle is open or some call is still using it (shared ownership), so a
// CloseHandle racing with a blocked call on another thread is safe.
struct Object {
    explicit Object(ObjectKind k) : kind(k) {}
    virtual ~Object() = default;
    // Called once when the last handle to the object is closed, before the
    // table drops its reference; lets e.g. a port wake blocked callers.
    virtual void on_close() {}
    // WaitForSingleObject on this object: WAIT_OBJECT_0, WAIT_TIMEOUT,
    // WAIT_ABANDONED, or WAIT_FAILED with the last error set. Objects that
    // cannot be waited on keep this default.
    virtual DWORD wait(DWORD timeout_ms);
    const ObjectKind kind;
};

// Adds an object and returns its new handle value.
HANDLE handle_insert(std::shared_ptr<Object> object);

// The object behind a handle when it is open and of the given kind; else null.
std::shared_ptr<Object> handle_lookup(HANDLE h, ObjectKind kind);

template <class T>
std::shared_ptr<T> handle_get(HANDLE h, ObjectKind kind) {
    return std::static_pointer_cast<T>(handle_lookup(h, kind));
}

// The object behind an open handle, whatever its kind; else null.
std::shared_ptr<Object> handle_lookup_any(HANDLE h);

// Removes a handle; returns the object it named, or null if it was not open.
std::shared_ptr<Object> handle_remove(HANDLE h);

// How many handles are open (for tests that check nothing leaks).
size_t handle_count();

// The kind of an open handle; false when the handle is not open.
bool handle_kind(HANDLE h, ObjectKind *kind);

}  // namespace ce
