// Any double through the marks' value format "###0.###": plain digits, at most three decimals,
// no trailing zeros, and within half a thousandth of the value.
#include "number_format.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < sizeof(double))
        return 0;
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    const std::string text = FormatChartValue(value);
    if (!std::isfinite(value))
        return 0;

    size_t i = text[0] == '-' ? 1 : 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++digits;
    }
    if (digits == 0)
        std::abort();
    if (i < text.size()) {
        if (text[i] != '.')
            std::abort(); // no grouping, no other characters
        const size_t decimals = text.size() - i - 1;
        if (decimals < 1 || decimals > 3 || text.back() == '0')
            std::abort();
        for (size_t j = i + 1; j < text.size(); ++j) {
            if (text[j] < '0' || text[j] > '9')
                std::abort();
        }
    }
    // Reading the text back costs up to half a unit in the last place; large values have wide
    // units (42949672960.0625 reads back a few millionths off).
    const double unit = std::nextafter(std::fabs(value), INFINITY) - std::fabs(value);
    if (std::fabs(value) < 1e15 &&
        std::fabs(std::strtod(text.c_str(), nullptr) - value) > 0.0005 + 2 * unit)
        std::abort();
    return 0;
}
