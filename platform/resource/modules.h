// The resources of the loaded modules: each program or library built with a
// resource script registers its compiled .res data when it is loaded
// (ce_add_resources), and a module's HINSTANCE is the address where it is
// loaded, so FindResourceW(hInstance, ...) reaches that module's own data.
#pragma once

#include "ce/base.h"
#include "resource/res_format.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace ce {

// Called by the code that ce_add_resources generates, while the module is
// loaded and when it is unloaded. Malformed data is reported and ignored.
void register_resources(const void *data, std::size_t size);
void unregister_resources(const void *data);

// The module that contains an address; NULL when no loaded module does.
HMODULE module_of_address(const void *address);
// The bytes from an address to the end of the loaded resource that holds it,
// or 0 when no resource does: bounds a template handed over as a bare pointer.
size_t resource_bytes_at(const void *address);

// The program's own module.
HMODULE program_module();
// The file that a loaded module was loaded from; empty when not loaded.
std::string module_path(HMODULE module);
// Every loaded module and the name it was loaded by (empty for the program).
std::vector<std::pair<HMODULE, std::string>> loaded_modules();

// A resource of a module, found by type and name. NULL hModule means the
// program. On failure returns false and sets the last error.
struct FoundResource {
    const unsigned char *data = nullptr;
    size_t size = 0;
    uint16_t language = 0;
};
bool find_resource(HMODULE module, const res::Id &type, const res::Id &name, FoundResource *out);

// The record behind an HRSRC handed out by FindResourceW, checked to belong
// to the module; false (last error set) for a handle it never gave out.
HRSRC resource_handle(HMODULE module, const res::Id &type, const res::Id &name);
bool resource_of_handle(HMODULE module, HRSRC handle, FoundResource *out);

}  // namespace ce
