#include "tiling.h"

std::optional<Grid> TileGrid(int clientWidth, int clientHeight, int barsHeight, int32_t rows,
                             int32_t columns)
{
    if (rows == 0 || columns == 0)
        return std::nullopt;
    // What the frame's edges take: 22 px across, 6 px down.
    return Grid((clientWidth - 22) / columns, (clientHeight - barsHeight - 6) / rows, columns);
}
