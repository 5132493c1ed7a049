#include "client/curl_library.h"

#include <dlfcn.h>

#include "common/dynamic_library.h"

namespace korvid {
namespace {

// dlerror() in a string, or a fallback when the loader left none.
std::string LoaderError() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unknown error";
}

template <typename Function>
bool Resolve(const DynamicLibrary& library, const char* file_name, const char* symbol,
             Function* function, std::string* error) {
    ::dlerror();  // clear any earlier error so the one below belongs to this look-up
    void* address = library.Symbol(symbol);
    if (address == nullptr) {
        *error = std::string("Cannot find ") + symbol + " in " + file_name + ": " + LoaderError();
        return false;
    }
    // POSIX guarantees that a dlsym() result converts to a function pointer.
    *function = reinterpret_cast<Function>(address);
    return true;
}

struct ProcessCurl {
    std::optional<CurlFunctions> functions;
    std::string error;
};

const ProcessCurl& TheProcessCurl() {
    // A function-local static: initialised once, and thread-safely, on the first call.
    static const ProcessCurl curl = [] {
        ProcessCurl loaded;
        loaded.functions = OpenCurlLibrary(CurlLibraryFile, &loaded.error);
        if (loaded.functions) {
            // The result is not checked: should it fail, curl_easy_init tries again and
            // returns no handle, which fails that transfer with its own message.
            loaded.functions->GlobalInit(CURL_GLOBAL_DEFAULT);
        }
        return loaded;
    }();
    return curl;
}

}  // namespace

std::optional<CurlFunctions> OpenCurlLibrary(const char* file_name, std::string* error) {
    DynamicLibrary library = DynamicLibrary::Open(file_name);
    if (!library) {
        *error = std::string("Cannot load ") + file_name + ": " + LoaderError();
        return std::nullopt;
    }
    CurlFunctions f;
    const bool resolved =
        Resolve(library, file_name, "curl_global_init", &f.GlobalInit, error) &&
        Resolve(library, file_name, "curl_easy_init", &f.EasyInit, error) &&
        Resolve(library, file_name, "curl_easy_setopt", &f.EasySetopt, error) &&
        Resolve(library, file_name, "curl_easy_getinfo", &f.EasyGetinfo, error) &&
        Resolve(library, file_name, "curl_easy_cleanup", &f.EasyCleanup, error) &&
        Resolve(library, file_name, "curl_easy_strerror", &f.EasyStrerror, error) &&
        Resolve(library, file_name, "curl_slist_append", &f.SlistAppend, error) &&
        Resolve(library, file_name, "curl_slist_free_all", &f.SlistFreeAll, error) &&
        Resolve(library, file_name, "curl_multi_init", &f.MultiInit, error) &&
        Resolve(library, file_name, "curl_multi_add_handle", &f.MultiAddHandle, error) &&
        Resolve(library, file_name, "curl_multi_remove_handle", &f.MultiRemoveHandle, error) &&
        Resolve(library, file_name, "curl_multi_perform", &f.MultiPerform, error) &&
        Resolve(library, file_name, "curl_multi_poll", &f.MultiPoll, error) &&
        Resolve(library, file_name, "curl_multi_info_read", &f.MultiInfoRead, error) &&
        Resolve(library, file_name, "curl_multi_cleanup", &f.MultiCleanup, error) &&
        Resolve(library, file_name, "curl_multi_strerror", &f.MultiStrerror, error) &&
        Resolve(library, file_name, "curl_url", &f.UrlInit, error) &&
        Resolve(library, file_name, "curl_url_cleanup", &f.UrlCleanup, error) &&
        Resolve(library, file_name, "curl_url_set", &f.UrlSet, error) &&
        Resolve(library, file_name, "curl_url_get", &f.UrlGet, error) &&
        Resolve(library, file_name, "curl_free", &f.Free, error);
    if (!resolved) {
        return std::nullopt;  // the library is closed as it goes out of scope
    }
    // The handle is never closed. Closing it would need curl_global_cleanup first, at exit,
    // and an easy handle or a thread still inside libcurl then would run unmapped code; the
    // operating system reclaims everything at exit anyway.
    library.Release();
    return f;
}

const CurlFunctions* LoadedCurl() {
    const ProcessCurl& curl = TheProcessCurl();
    return curl.functions ? &*curl.functions : nullptr;
}

const std::string& CurlLibraryError() {
    return TheProcessCurl().error;
}

}  // namespace korvid
