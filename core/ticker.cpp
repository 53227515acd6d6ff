#include "ticker.h"

#include <algorithm>

TickerWindow NextTickerWindow(int32_t position, int32_t length, int32_t width)
{
    // Only equality starts over: a position beyond the end stays there and shows nothing.
    if (position == length)
        position = 1;
    const int32_t first = std::max<int32_t>(position, 1) - 1;
    const int32_t count = std::clamp<int32_t>(length - first, 0, width);
    return {first, count, position + 1};
}
