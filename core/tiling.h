#pragma once

#include <cstdint>
#include <optional>

// One window's place in the grid, in the drive windows' area.
struct Cell
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const Cell &, const Cell &) = default;
};

// The grid of rows × columns that fills the main window's client area between tool bar and
// status bar. Cell i lies in row i / columns: a row holds exactly `columns` windows, and windows
// beyond rows × columns go on in further rows below.
class Grid
{
public:
    Grid(int cellWidth, int cellHeight, int32_t columns)
        : cellWidth(cellWidth), cellHeight(cellHeight), columns(columns)
    {}

    Cell CellAt(int index) const
    {
        return {index % columns * cellWidth, index / columns * cellHeight, cellWidth, cellHeight};
    }

private:
    int cellWidth;
    int cellHeight;
    int32_t columns;
};

// The grid for a client area of the given size (tool bar and status bar included, whose heights
// together are `barsHeight`); nothing while rows or columns is 0, as before the first refresh.
std::optional<Grid> TileGrid(int clientWidth, int clientHeight, int barsHeight, int32_t rows,
                             int32_t columns);
