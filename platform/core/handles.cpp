#include "core/handles.h"

#include <mutex>
#include <unordered_map>

namespace ce {
namespace {

// First handle value handed out; values step by 4 as on the platform.
constexpr uintptr_t kFirstHandle = 0x1000;

struct Table {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = kFirstHandle;
};

Table &table() {
    static Table *t = new Table;  // never destroyed: handles may be closed during exit
    return *t;
}

}  // namespace

HANDLE handle_insert(std::shared_ptr<Object> object) {
    Table &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> handle_lookup(HANDLE h, ObjectKind kind) {
    Table &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.objects.end() || it->second->kind != kind) return nullptr;
    return it->second;
}

std::shared_ptr<Object> handle_lookup_any(HANDLE h) {
    Table &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

DWORD Object::wait(DWORD) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFF;  // WAIT_FAILED
}

size_t handle_count() {
    Table &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.objects.size();
}

bool handle_kind(HANDLE h, ObjectKind *kind) {
    Table &t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.objects.end()) return false;
    *kind = it->second->kind;
    return true;
}

std::shared_ptr<Object> handle_remove(HANDLE h) {
    std::shared_ptr<Object> object;
    {
        Table &t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
        if (it == t.objects.end()) return nullptr;
        object = std::move(it->second);
        t.objects.erase(it);
    }
    object->on_close();
    return object;
}

}  // namespace ce

BOOL CloseHandle(HANDLE hObject) {
    ce::ObjectKind kind;
    if (!ce::handle_kind(hObject, &kind) || kind == ce::ObjectKind::RegistryKey) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ce::handle_remove(hObject);
    return TRUE;
}
