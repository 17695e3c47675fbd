// Text crosses into Windows as UTF-16 and comes back as UTF-8: the game's
// strings are UTF-8 everywhere, and Windows' own calls (the W ones) take
// UTF-16. Also Windows' own words for an error, in UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vexlo::windows {

std::wstring utf16(std::string_view utf8);
std::string utf8(std::wstring_view utf16);

// The system's text for an error code of GetLastError(), without its full
// stop and line break; `module` names the DLL whose messages it is in
// (WinHTTP's are in winhttp.dll), or none for the system's own.
std::string errorText(unsigned long code, const wchar_t* module = nullptr);

} // namespace vexlo::windows
