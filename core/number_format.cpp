#include "number_format.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

NumberSeparators inForce;

// Number of characters in a UTF-8 text; an invalid sequence counts byte by byte.
size_t utf8Length(const std::string &text)
{
    size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

uint64_t magnitude(int64_t n)
{
    return n < 0 ? uint64_t{0} - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
}

std::string groupDigits(const std::string &digits, const std::string &thousands)
{
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += thousands;
        text += digits[i];
    }
    return text;
}

// Rounds to `precision` significant digits (a 5 in the first dropped place rounds up) and
// writes d[.ddd]E<power>.
std::string scientific(const std::string &digits, size_t precision, const std::string &decimal)
{
    int power = static_cast<int>(digits.size()) - 1;
    std::string kept = digits.substr(0, precision);
    if (digits[precision] >= '5') {
        size_t i = kept.size();
        while (i > 0 && kept[i - 1] == '9') {
            kept[i - 1] = '0';
            --i;
        }
        if (i == 0) {
            kept.insert(kept.begin(), '1');
            kept.pop_back();
            ++power;
        } else {
            ++kept[i - 1];
        }
    }
    while (kept.size() > 1 && kept.back() == '0')
        kept.pop_back();

    std::string text(1, kept[0]);
    if (kept.size() > 1)
        text += decimal + kept.substr(1);
    return text + "E" + std::to_string(power);
}

std::string formatGrouped(int64_t n, size_t precision, const NumberSeparators &separators)
{
    if (n == 0)
        return "0";
    const std::string digits = std::to_string(magnitude(n));
    const std::string sign = n < 0 ? "-" : "";
    if (digits.size() <= precision)
        return sign + groupDigits(digits, separators.thousands);
    return sign + scientific(digits, precision, separators.decimal);
}

struct FixedPoint
{
    bool negative = false; // only when the rounded value is not zero
    std::string whole;
    std::string fraction; // exactly as many digits as asked for
};

// Rounds to `decimals` (1 to 3) places, a half going away from zero, judged on the exact
// value of the double rather than on its shortest decimal text.
FixedPoint roundFixed(double number, int decimals)
{
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const double value = std::fabs(number);
    FixedPoint fixed;

    if (value >= 9007199254740992.0) {
        // From 2^53 on every double is a whole number: its exact digits, no decimals.
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        fixed.whole = buffer;
        fixed.fraction.assign(static_cast<size_t>(decimals), '0');
        fixed.negative = number < 0;
        return fixed;
    }

    // value = mantissa x 2^-shift exactly, and value x scale = mantissa x scale / 2^shift with
    // mantissa x scale < 2^63, so the rounding is exact integer arithmetic. From a shift of 64
    // on, value x scale is below one half.
    int exponent = 0;
    const double mantissaFraction = std::frexp(value, &exponent);
    const auto mantissa = static_cast<uint64_t>(std::ldexp(mantissaFraction, 53));
    const int shift = 53 - exponent;
    const uint64_t scaled = mantissa * scale;
    uint64_t units = 0;
    if (shift == 0) {
        units = scaled;
    } else if (shift < 64) {
        units = scaled >> shift;
        const uint64_t remainder = scaled - (units << shift);
        if (remainder >= uint64_t{1} << (shift - 1))
            ++units;
    }

    fixed.whole = std::to_string(units / scale);
    fixed.fraction = std::to_string(units % scale + scale).substr(1); // leading zeros kept
    fixed.negative = number < 0 && units != 0;
    return fixed;
}

} // namespace

NumberSeparators SeparatorsFromSettings(const std::optional<std::string> &thousands,
                                        const std::optional<std::string> &decimal)
{
    NumberSeparators separators;
    if (thousands && utf8Length(*thousands) <= 1)
        separators.thousands = *thousands;
    if (decimal && utf8Length(*decimal) == 1)
        separators.decimal = *decimal;
    return separators;
}

void SetNumberSeparators(const NumberSeparators &separators)
{
    inForce = separators;
}

const NumberSeparators &NumberSeparatorsInForce()
{
    return inForce;
}

int64_t RoundPercent(double percent)
{
    if (std::isnan(percent))
        return 0;
    constexpr double limit = 0x1p63; // the first double beyond int64
    if (percent >= limit)
        return std::numeric_limits<int64_t>::max();
    if (percent < -limit)
        return std::numeric_limits<int64_t>::min();

    // Exact: floor and the difference of a double from its floor are representable.
    const double below = std::floor(percent);
    const double fraction = percent - below;
    auto whole = static_cast<int64_t>(below);
    if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0))
        ++whole;
    return whole;
}

std::string FormatGB(int64_t gigabytes)
{
    return FormatGB(gigabytes, inForce);
}

std::string FormatGB(int64_t gigabytes, const NumberSeparators &separators)
{
    return formatGrouped(gigabytes, 8, separators);
}

std::string FormatPercent(double percent)
{
    return FormatPercent(percent, inForce);
}

std::string FormatPercent(double percent, const NumberSeparators &separators)
{
    return formatGrouped(RoundPercent(percent), 4, separators);
}

std::string FormatSumGB(int64_t gigabytes)
{
    return std::to_string(gigabytes);
}

std::string FormatPercentFixed(double percent)
{
    if (!std::isfinite(percent))
        return "   ---";
    const FixedPoint fixed = roundFixed(percent, 2);
    std::string text = fixed.negative ? "-" : "";
    text += fixed.whole + "." + fixed.fraction;
    if (text.size() < 6)
        text.insert(0, 6 - text.size(), ' ');
    return text;
}

std::string FormatChartValue(double value)
{
    if (std::isnan(value))
        return "0";
    if (std::isinf(value))
        return value < 0 ? "-\u221E" : "\u221E";
    FixedPoint fixed = roundFixed(value, 3);
    while (!fixed.fraction.empty() && fixed.fraction.back() == '0')
        fixed.fraction.pop_back();
    std::string text = fixed.negative ? "-" : "";
    text += fixed.whole;
    if (!fixed.fraction.empty())
        text += "." + fixed.fraction;
    return text;
}
