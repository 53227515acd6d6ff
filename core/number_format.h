#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The separators of the grouped number texts, each one character in UTF-8. An empty thousands
// separator means digit groups are joined directly.
struct NumberSeparators
{
    std::string thousands = ",";
    std::string decimal = ".";

    friend bool operator==(const NumberSeparators &, const NumberSeparators &) = default;
};

// Turns the host's regional settings into separators: a setting longer than one character, or
// one that could not be read (nullopt), gives "," for thousands and "." for the decimal point;
// an empty thousands setting gives none. Settings are UTF-8.
NumberSeparators SeparatorsFromSettings(const std::optional<std::string> &thousands,
                                        const std::optional<std::string> &decimal);

// The separators in force for the grouped formats. The host reads them at start and again when
// the regional settings change; texts made before keep the old ones.
void SetNumberSeparators(const NumberSeparators &separators);
const NumberSeparators &NumberSeparatorsInForce();

// The nearest whole number, a tie going to the even neighbour.
int64_t RoundPercent(double percent);

// Capacity in whole GiB, grouped in thousands; beyond 8 digits in scientific form ("1E8").
std::string FormatGB(int64_t gigabytes);
std::string FormatGB(int64_t gigabytes, const NumberSeparators &separators);

// RoundPercent of the value, grouped like FormatGB with at most 4 significant digits.
std::string FormatPercent(double percent);
std::string FormatPercent(double percent, const NumberSeparators &separators);

// Plain decimal digits, whatever the regional settings.
std::string FormatSumGB(int64_t gigabytes);

// Two decimals after a point, halves rounded away from zero on the exact value of the double,
// right-aligned in 6 characters; whatever the regional settings.
std::string FormatPercentFixed(double percent);

// A chart mark's value as "###0.###" writes it: plain digits, no grouping, at most three
// decimals (a half rounded away from zero), no trailing zeros, a point as decimal separator.
std::string FormatChartValue(double value);
