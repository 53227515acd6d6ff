#include "volume_source.h"

std::vector<std::u16string> DriveRoots(uint8_t first, uint8_t last)
{
    std::vector<std::u16string> roots;
    const int step = first <= last ? 1 : -1;
    for (int number = first;; number += step) {
        roots.push_back({static_cast<char16_t>(number + 64), u':', u'\\'});
        if (number == last)
            break;
    }
    return roots;
}

std::optional<size_t> DriveIndexOf(const std::u16string &root)
{
    if (root.size() != 3 || root[1] != u':' || root[2] != u'\\' || root[0] < u'C' || root[0] > u'Z')
        return std::nullopt;
    return static_cast<size_t>(root[0] - u'C');
}
