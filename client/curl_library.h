#pragma once
// libcurl, loaded on the first download instead of at process start. Linking it would make
// the dynamic loader map libcurl and its two dozen dependencies (TLS, LDAP, SSH, ...) before
// main() runs, although nothing is downloaded until the user searches.

#include <curl/curl.h>

#include <optional>
#include <string>

namespace korvid {

// The libcurl functions the HTTP layer calls; the types come from libcurl's own header.
struct CurlFunctions {
    decltype(&curl_global_init) GlobalInit = nullptr;
    decltype(&curl_easy_init) EasyInit = nullptr;
    decltype(&curl_easy_setopt) EasySetopt = nullptr;
    decltype(&curl_easy_getinfo) EasyGetinfo = nullptr;
    decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
    decltype(&curl_easy_strerror) EasyStrerror = nullptr;
    decltype(&curl_slist_append) SlistAppend = nullptr;
    decltype(&curl_slist_free_all) SlistFreeAll = nullptr;
    decltype(&curl_multi_init) MultiInit = nullptr;
    decltype(&curl_multi_add_handle) MultiAddHandle = nullptr;
    decltype(&curl_multi_remove_handle) MultiRemoveHandle = nullptr;
    decltype(&curl_multi_perform) MultiPerform = nullptr;
    decltype(&curl_multi_poll) MultiPoll = nullptr;
    decltype(&curl_multi_info_read) MultiInfoRead = nullptr;
    decltype(&curl_multi_cleanup) MultiCleanup = nullptr;
    decltype(&curl_multi_strerror) MultiStrerror = nullptr;
    // libcurl's URL parser: an address is checked as the transfer will read it.
    decltype(&curl_url) UrlInit = nullptr;
    decltype(&curl_url_cleanup) UrlCleanup = nullptr;
    decltype(&curl_url_set) UrlSet = nullptr;
    decltype(&curl_url_get) UrlGet = nullptr;
    decltype(&curl_free) Free = nullptr;
};

// The file name the process's libcurl is loaded from.
inline constexpr const char* CurlLibraryFile = "libcurl.so.4";

// Opens the shared library `file_name` and resolves every function of CurlFunctions in it.
// On success the library stays loaded for the life of the process. On failure the library
// is closed again, *error tells what is missing and the result is empty.
std::optional<CurlFunctions> OpenCurlLibrary(const char* file_name, std::string* error);

// The process's libcurl: the first call (from any thread) loads CurlLibraryFile and runs
// curl_global_init(CURL_GLOBAL_DEFAULT); later calls return the same result. nullptr when
// libcurl cannot be loaded; CurlLibraryError() then tells why.
const CurlFunctions* LoadedCurl();

// Why LoadedCurl() returned nullptr; empty when libcurl is loaded.
const std::string& CurlLibraryError();

}  // namespace korvid
