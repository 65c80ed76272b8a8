#pragma once

#ifdef _WIN32

#include <string>
#include <string_view>

// UTF-8 (the core's text) to and from the UTF-16 of the Windows API.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

#endif
