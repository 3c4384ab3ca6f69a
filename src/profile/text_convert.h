// UTF-8 <-> wide text, for the few places (case folding, platform calls) that need wide text.
// Core text is UTF-8 std::string everywhere else.
#pragma once

#include <string>

namespace morva {

// Invalid sequences become U+FFFD; no byte-order mark is read or written.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

// ASCII-only case-insensitive comparison, as profile and macro names are compared.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);

// Trims spaces, tabs and line breaks at both ends.
std::string TrimWhite(const std::string& text);

}  // namespace morva
