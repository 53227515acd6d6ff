#pragma once

#include <cstdint>

// One step of the about dialog's ticker: which part of the text it shows, and where the next
// step starts.
struct TickerWindow
{
    int32_t first = 0; // 0-based
    int32_t count = 0; // fewer than the width near the end of the text
    int32_t next = 0;  // the position after this step

    friend bool operator==(const TickerWindow &, const TickerWindow &) = default;
};

// The window of up to `width` characters that a tick at 1-based `position` shows in a text of
// `length` characters. At the text's length the ticker starts over at 1; a position below 1
// counts as 1.
TickerWindow NextTickerWindow(int32_t position, int32_t length, int32_t width = 40);
