#pragma once
// Whether a file is a well-formed XML document, as a real parser reads it: libxml2's xmllint
// (Debian's libxml2-utils, which scripts/install-deps.sh installs).

#include <string>

#include "tests/support/child_process.h"

namespace korvid::test_support {

inline constexpr const char* XmlLint = "/usr/bin/xmllint";

// xmllint's complaints about the file; empty when it is well-formed.
inline std::string XmlProblems(const std::string& path) {
    const ChildResult lint = RunChild(XmlLint, {"--noout", path}, "/");
    if (lint.exit_code != 0) {
        return "xmllint exit " + std::to_string(lint.exit_code) + ": " + lint.err + lint.out;
    }
    return lint.err;
}

// The string value of the XPath expression in the file, as the parser gives it (entities
// undone).
inline std::string XmlValue(const std::string& path, const std::string& xpath) {
    ChildResult value = RunChild(XmlLint, {"--xpath", "string(" + xpath + ")", path}, "/");
    if (!value.out.empty() && value.out.back() == '\n') {
        value.out.pop_back();  // xmllint ends what it prints with a line feed
    }
    return value.out;
}

}  // namespace korvid::test_support
