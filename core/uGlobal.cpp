#include "uGlobal.h"

#include "volume_source.h"

char16_t DriveLetter(DriveNo number)
{
    return static_cast<char16_t>(number + 64);
}

std::u16string DriveRoot(DriveNo number)
{
    if (number == 0)
        return {};
    return {DriveLetter(number), u':', u'\\'};
}

bool DriveExists(Pass &pass, char16_t letter)
{
    if (letter >= u'a' && letter <= u'z')
        letter = static_cast<char16_t>(letter - (u'a' - u'A'));
    const auto number = static_cast<DriveNo>(letter - 64);

    const std::optional<VolumeSpace> answer = pass.space(DriveRoot(number));
    const int64_t size = answer ? answer->totalBytes : -1;
    return size > -1;
}

int64_t BytesToGB(int64_t bytes)
{
    constexpr int64_t gib = int64_t{1} << 30;
    return bytes / gib;
}
