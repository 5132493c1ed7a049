#pragma once
// A shared library opened with dlopen and closed with dlclose when the object goes away.
// Move-only: exactly one object owns each handle.

namespace korvid {

class DynamicLibrary {
  public:
    constexpr DynamicLibrary() noexcept = default;
    ~DynamicLibrary() { Close(); }

    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.Release()) {}
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens the library by file name, searched for the way the dynamic linker searches
    // (LD_LIBRARY_PATH, the cache, the system folders). An empty object when it cannot be
    // opened; nothing is printed.
    static DynamicLibrary Open(const char* file_name) noexcept;

    // The address the library exports under the name, or null when it exports no such name.
    void* Symbol(const char* name) const noexcept;

    // Closes the library now; an empty object stays empty.
    void Close() noexcept;

    void* Handle() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    // Gives up ownership: the library stays loaded for the life of the process.
    void* Release() noexcept {
        void* handle = handle_;
        handle_ = nullptr;
        return handle;
    }

  private:
    explicit DynamicLibrary(void* handle) noexcept : handle_(handle) {}

    void* handle_ = nullptr;
};

}  // namespace korvid
