#include "ticker.h"

#include <gtest/gtest.h>

// The about dialog's credits are 235 characters long; each tick shows a window of up to 40.
TEST(NextTickerWindow, TheSequenceFromTheFirstTick)
{
    constexpr int32_t length = 235;
    struct Row
    {
        const char *name;
        int tick;
        int32_t first, last; // 1-based, as the text is counted
    };
    const Row rows[] = {
        {"tick 1 starts at 0 and shows 1-40", 1, 1, 40},
        {"tick 2 shows 1-40 again", 2, 1, 40},
        {"tick 3 moves on", 3, 2, 41},
        {"tick 197, the last full window", 197, 196, 235},
        {"tick 198 holds fewer characters", 198, 197, 235},
        {"tick 235, two characters", 235, 234, 235},
        {"tick 236 starts over", 236, 1, 40},
        {"tick 237", 237, 2, 41},
    };
    int32_t position = 0;
    int tick = 0;
    for (const Row &row : rows) {
        TickerWindow window;
        while (tick < row.tick) {
            window = NextTickerWindow(position, length);
            position = window.next;
            ++tick;
        }
        EXPECT_EQ(window.first, row.first - 1) << row.name;
        EXPECT_EQ(window.first + window.count, row.last) << row.name;
    }
    for (; tick < 1000; ++tick) {
        const TickerWindow window = NextTickerWindow(position, length);
        position = window.next;
        EXPECT_GE(window.count, 2) << "the last character never stands alone, tick " << tick;
    }
}

TEST(NextTickerWindow, Positions)
{
    struct Row
    {
        const char *name;
        int32_t position, length;
        TickerWindow window;
    };
    const Row rows[] = {
        {"below 1 counts as 1", -5, 235, {0, 40, -4}},
        {"at the length: over to 1", 235, 235, {0, 40, 2}},
        {"beyond the length shows nothing", 240, 235, {239, 0, 241}},
        {"a text shorter than the window", 1, 10, {0, 10, 2}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(NextTickerWindow(row.position, row.length), row.window) << row.name;
}
