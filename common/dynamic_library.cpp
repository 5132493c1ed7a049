#include "common/dynamic_library.h"

#include <dlfcn.h>

namespace korvid {

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.Release();
    }
    return *this;
}

DynamicLibrary DynamicLibrary::Open(const char* file_name) noexcept {
    // RTLD_LOCAL keeps the library's names out of the program's own symbol lookup.
    return DynamicLibrary(::dlopen(file_name, RTLD_NOW | RTLD_LOCAL));
}

void* DynamicLibrary::Symbol(const char* name) const noexcept {
    if (handle_ == nullptr) {
        return nullptr;
    }
    return ::dlsym(handle_, name);
}

void DynamicLibrary::Close() noexcept {
    if (void* handle = Release()) {
        ::dlclose(handle);
    }
}

}  // namespace korvid
