#include "number_separators.h"

#include <clocale>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>

namespace {

void appendUtf8(std::string &text, char32_t c)
{
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The locale's text in UTF-8, decoded with the locale's own character set (a Latin-1 locale
// gives its separators in Latin-1); nothing when it cannot be decoded.
std::optional<std::string> toUtf8(const char *text, locale_t locale)
{
    if (!text)
        return std::nullopt;
    const locale_t previous = uselocale(locale);
    std::mbstate_t state = {};
    std::string result;
    bool valid = true;
    for (const char *p = text; *p;) {
        wchar_t c = 0;
        const size_t used = std::mbrtowc(&c, p, MB_CUR_MAX, &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2) || used == 0) {
            valid = false;
            break;
        }
        appendUtf8(result, static_cast<char32_t>(c));
        p += used;
    }
    uselocale(previous);
    if (!valid)
        return std::nullopt;
    return result;
}

} // namespace

NumberSeparators ReadHostSeparators()
{
    // The numeric locale as the C library resolves it from the environment (LC_ALL,
    // LC_NUMERIC, LANG); the character set to decode it comes from the same environment.
    const locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (!numeric)
        return SeparatorsFromSettings(std::nullopt, std::nullopt);
    locale_t locale = newlocale(LC_CTYPE_MASK, "", numeric);
    if (!locale)
        locale = numeric;

    const std::optional<std::string> thousands = toUtf8(nl_langinfo_l(THOUSEP, locale), locale);
    const std::optional<std::string> decimal = toUtf8(nl_langinfo_l(RADIXCHAR, locale), locale);
    freelocale(locale);
    return SeparatorsFromSettings(thousands, decimal);
}
