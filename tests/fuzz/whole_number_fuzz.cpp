// Any text in a spin field: reading gives a number only for a whole decimal number in the
// signed 32-bit range, and then the one that text names.
#include "whole_number.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const std::optional<int32_t> value = ReadWholeNumber(text);

    // The oracle: the same text written back from the number, signs and leading zeros aside.
    size_t start = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        start = 1;
    }
    bool digits = start < text.size();
    for (size_t i = start; i < text.size(); ++i)
        digits = digits && text[i] >= u'0' && text[i] <= u'9';
    if (!digits) {
        if (value)
            std::abort();
        return 0;
    }
    size_t first = start;
    while (first + 1 < text.size() && text[first] == u'0')
        ++first;
    const std::u16string magnitude = text.substr(first);
    const bool fits =
        magnitude.size() < 10 ||
        (magnitude.size() == 10 && magnitude <= (negative ? u"2147483648" : u"2147483647"));
    if (fits != value.has_value())
        std::abort();
    if (value) {
        const std::string written = std::to_string(*value);
        std::u16string expected;
        for (const char c : written)
            expected.push_back(static_cast<char16_t>(c));
        const std::u16string named = (negative && magnitude != u"0" ? u"-" : u"") + magnitude;
        if (expected != named)
            std::abort();
    }
    return 0;
}
