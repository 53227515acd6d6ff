#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A whole decimal number with an optional sign, in the signed 32-bit range; nothing for any
// other text (empty, a lone sign, a decimal separator, letters, spaces, too many digits).
std::optional<int32_t> ReadWholeNumber(std::u16string_view text);
