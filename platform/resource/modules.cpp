#include "resource/modules.h"

#include "core/root.h"

#include <link.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <vector>

namespace ce {

namespace {

struct Blob {
    const unsigned char *data = nullptr;
    size_t size = 0;
    std::vector<res::Entry> entries;
};

struct Module {
    HMODULE handle = nullptr;
    std::vector<std::unique_ptr<Blob>> blobs;
};

// Never destroyed: modules unregister from their own static destructors,
// which may run after this library's.
struct Registry {
    std::mutex lock;
    std::vector<std::unique_ptr<Module>> modules;
};

Registry &registry() {
    static Registry *r = new Registry;
    return *r;
}

struct LoadedObject {
    uintptr_t base = 0;
    std::string name;  // empty for the program
    bool is_program = false;
};

// Every loaded object with the address where it starts (its lowest loaded
// segment, page aligned), the program first. Calls `visit` until it says stop.
template <class Visit>
void for_each_object(Visit visit) {
    struct Context {
        Visit *visit;
        bool first = true;
        bool stopped = false;
    } context{&visit};
    dl_iterate_phdr(
        [](struct dl_phdr_info *info, size_t, void *data) -> int {
            auto *c = static_cast<Context *>(data);
            uintptr_t lowest = UINTPTR_MAX;
            for (int i = 0; i < info->dlpi_phnum; ++i)
                if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest)
                    lowest = info->dlpi_phdr[i].p_vaddr;
            bool program = c->first;
            c->first = false;
            if (lowest == UINTPTR_MAX) return 0;
            uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
            LoadedObject object;
            object.base = (info->dlpi_addr + lowest) & ~(page - 1);
            object.name = info->dlpi_name ? info->dlpi_name : "";
            object.is_program = program;
            if ((*c->visit)(object, info)) {
                c->stopped = true;
                return 1;
            }
            return 0;
        },
        &context);
}

HMODULE as_module(uintptr_t base) { return reinterpret_cast<HMODULE>(base); }

Module *find_module(Registry &r, HMODULE handle) {
    for (auto &m : r.modules)
        if (m->handle == handle) return m.get();
    return nullptr;
}

bool is_loaded_module(HMODULE handle) {
    bool found = false;
    for_each_object([&](const LoadedObject &o, struct dl_phdr_info *) {
        found = as_module(o.base) == handle;
        return found;
    });
    return found;
}

}  // namespace

HMODULE module_of_address(const void *address) {
    uintptr_t a = reinterpret_cast<uintptr_t>(address);
    HMODULE result = nullptr;
    for_each_object([&](const LoadedObject &o, struct dl_phdr_info *info) {
        for (int i = 0; i < info->dlpi_phnum; ++i) {
            const auto &ph = info->dlpi_phdr[i];
            uintptr_t start = info->dlpi_addr + ph.p_vaddr;
            if (ph.p_type == PT_LOAD && a >= start && a - start < ph.p_memsz) {
                result = as_module(o.base);
                return true;
            }
        }
        return false;
    });
    return result;
}

HMODULE program_module() {
    HMODULE result = nullptr;
    for_each_object([&](const LoadedObject &o, struct dl_phdr_info *) {
        result = as_module(o.base);
        return true;
    });
    return result;
}

std::string module_path(HMODULE module) {
    std::string path;
    for_each_object([&](const LoadedObject &o, struct dl_phdr_info *) {
        if (as_module(o.base) != module) return false;
        if (o.is_program || o.name.empty()) {
            char buffer[4096];
            ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
            if (n > 0 && static_cast<size_t>(n) < sizeof buffer) path.assign(buffer, static_cast<size_t>(n));
        } else {
            path = o.name;
        }
        return true;
    });
    return path;
}

std::vector<std::pair<HMODULE, std::string>> loaded_modules() {
    std::vector<std::pair<HMODULE, std::string>> list;
    for_each_object([&](const LoadedObject &o, struct dl_phdr_info *) {
        list.emplace_back(as_module(o.base), o.name);
        return false;
    });
    return list;
}

void register_resources(const void *data, std::size_t size) {
    auto blob = std::make_unique<Blob>();
    blob->data = static_cast<const unsigned char *>(data);
    blob->size = size;
    HMODULE handle = module_of_address(data);
    std::string error;
    if (!handle) {
        report("Loading resources: the data at " + std::to_string(reinterpret_cast<uintptr_t>(data)) +
               " belongs to no loaded module; ignored");
        return;
    }
    if (!res::parse_res(blob->data, size, &blob->entries, &error)) {
        report("Loading the resources of " + module_path(handle) + ": " + error + "; ignored");
        return;
    }
    Registry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    Module *m = find_module(r, handle);
    if (!m) {
        r.modules.push_back(std::make_unique<Module>());
        m = r.modules.back().get();
        m->handle = handle;
    }
    m->blobs.push_back(std::move(blob));
}

size_t resource_bytes_at(const void *address) {
    auto p = reinterpret_cast<uintptr_t>(address);
    Registry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const auto &m : r.modules)
        for (const auto &b : m->blobs)
            for (const res::Entry &e : b->entries) {
                auto start = reinterpret_cast<uintptr_t>(b->data + e.offset);
                if (p >= start && p < start + e.size) return start + e.size - p;
            }
    return 0;
}

void unregister_resources(const void *data) {
    Registry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (auto m = r.modules.begin(); m != r.modules.end(); ++m) {
        auto &blobs = (*m)->blobs;
        for (auto b = blobs.begin(); b != blobs.end(); ++b) {
            if ((*b)->data != data) continue;
            blobs.erase(b);
            if (blobs.empty()) r.modules.erase(m);
            return;
        }
    }
}

HRSRC resource_handle(HMODULE module, const res::Id &type, const res::Id &name) {
    if (!module) module = program_module();
    Registry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    Module *m = find_module(r, module);
    if (!m) {
        SetLastError(is_loaded_module(module) ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    bool type_seen = false;
    for (auto &blob : m->blobs) {
        for (const res::Entry &e : blob->entries) {
            if (!res::same_id(e.type, type)) continue;
            type_seen = true;
            if (res::same_id(e.name, name)) return reinterpret_cast<HRSRC>(const_cast<res::Entry *>(&e));
        }
    }
    SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

bool resource_of_handle(HMODULE module, HRSRC handle, FoundResource *out) {
    if (!module) module = program_module();
    Registry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    Module *m = find_module(r, module);
    if (m && handle) {
        for (auto &blob : m->blobs) {
            for (const res::Entry &e : blob->entries) {
                if (reinterpret_cast<HRSRC>(const_cast<res::Entry *>(&e)) != handle) continue;
                out->data = blob->data + e.offset;
                out->size = e.size;
                out->language = e.language;
                return true;
            }
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

bool find_resource(HMODULE module, const res::Id &type, const res::Id &name, FoundResource *out) {
    HRSRC h = resource_handle(module, type, name);
    return h && resource_of_handle(module, h, out);
}

}  // namespace ce
