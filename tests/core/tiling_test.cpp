#include "tiling.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TileGrid, CellsFromTheClientArea)
{
    struct Row
    {
        const char *name;
        int width, height, rows, columns;
        std::vector<Cell> cells;
    };
    // The declared client area 984 x 741 with tool bar 69 and status bar 19:
    // W = (984 - 22) div columns, H = (741 - 19 - 69 - 6) div rows.
    const Row rows[] = {
        {"2 x 3, the declared size",
         984,
         741,
         2,
         3,
         {{0, 0, 320, 323},
          {320, 0, 320, 323},
          {640, 0, 320, 323},
          {0, 323, 320, 323},
          {320, 323, 320, 323},
          {640, 323, 320, 323}}},
        {"one column: the second window directly below the first",
         984,
         741,
         2,
         1,
         {{0, 0, 962, 323}, {0, 323, 962, 323}}},
        {"1 x 1 goes on in rows below", 984, 741, 1, 1, {{0, 0, 962, 647}, {0, 647, 962, 647}}},
        {"4 x 4 with a 17th window in a fifth row",
         984,
         741,
         4,
         4,
         {{0, 0, 240, 161},
          {240, 0, 240, 161},
          {480, 0, 240, 161},
          {720, 0, 240, 161},
          {0, 161, 240, 161},
          {240, 161, 240, 161},
          {480, 161, 240, 161},
          {720, 161, 240, 161},
          {0, 322, 240, 161},
          {240, 322, 240, 161},
          {480, 322, 240, 161},
          {720, 322, 240, 161},
          {0, 483, 240, 161},
          {240, 483, 240, 161},
          {480, 483, 240, 161},
          {720, 483, 240, 161},
          {0, 644, 240, 161}}},
        {"a grown frame: remainders dropped",
         1014,
         761,
         2,
         3,
         {{0, 0, 330, 333}, {330, 0, 330, 333}, {660, 0, 330, 333}, {0, 333, 330, 333}}},
    };
    for (const Row &row : rows) {
        const std::optional<Grid> grid =
            TileGrid(row.width, row.height, 69 + 19, row.rows, row.columns);
        ASSERT_TRUE(grid) << row.name;
        for (size_t i = 0; i < row.cells.size(); ++i)
            EXPECT_EQ(grid->CellAt(static_cast<int>(i)), row.cells[i]) << row.name << " cell " << i;
    }
}

TEST(TileGrid, NoGridBeforeTheFirstRefresh)
{
    EXPECT_FALSE(TileGrid(984, 741, 88, 0, 0));
    EXPECT_FALSE(TileGrid(984, 741, 88, 0, 3)) << "no rows";
    EXPECT_FALSE(TileGrid(984, 741, 88, 2, 0)) << "no columns";
}
