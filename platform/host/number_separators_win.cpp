#include "number_separators.h"

#include <windows.h>

namespace {

// One character and the terminator: a longer setting does not fit and counts as unreadable.
std::optional<std::string> readSetting(LCTYPE type)
{
    wchar_t buffer[2] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 2) == 0)
        return std::nullopt;
    char utf8[8] = {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, buffer, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (length == 0)
        return std::nullopt;
    return std::string(utf8);
}

} // namespace

NumberSeparators ReadHostSeparators()
{
    return SeparatorsFromSettings(readSetting(LOCALE_STHOUSAND), readSetting(LOCALE_SDECIMAL));
}
