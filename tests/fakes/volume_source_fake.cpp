#include "volume_source_fake.h"

#include <stdexcept>

void FakeVolumeSource::setDrive(char16_t letter, int64_t totalBytes, int64_t freeBytes)
{
    drives[letter] = {{totalBytes, freeBytes}, false, false};
}

void FakeVolumeSource::setDriveGB(char16_t letter, int64_t totalGB, int64_t freeGB)
{
    constexpr int64_t gib = int64_t{1} << 30;
    setDrive(letter, totalGB * gib, freeGB * gib);
}

void FakeVolumeSource::removeDrive(char16_t letter)
{
    drives.erase(letter);
}

void FakeVolumeSource::failQueries(char16_t letter)
{
    drives[letter].failing = true;
}

void FakeVolumeSource::throwOnDescribe(char16_t letter)
{
    drives[letter].throwing = true;
}

const FakeVolumeSource::Drive *FakeVolumeSource::find(const std::u16string &root) const
{
    if (root.size() != 3 || root[1] != u':' || root[2] != u'\\')
        return nullptr;
    const auto it = drives.find(root[0]);
    return it == drives.end() ? nullptr : &it->second;
}

std::optional<VolumeSpace> FakeVolumeSource::space(const std::u16string &root)
{
    ++spaceCount;
    queriesOutsidePass += scanDepth == 0;
    const Drive *drive = find(root);
    if (!drive || drive->failing)
        return std::nullopt;
    return drive->space;
}

std::optional<VolumeSpace> FakeVolumeSource::probe(const std::u16string &root)
{
    ++probeCount;
    queriesOutsidePass += scanDepth == 0;
    const Drive *drive = find(root);
    const std::optional<VolumeSpace> answer =
        drive ? std::optional<VolumeSpace>(drive->space) : std::nullopt;
    if (afterProbe && root.size() == 3)
        afterProbe(root[0]);
    return answer;
}

std::string FakeVolumeSource::describe(const std::u16string &root)
{
    queriesOutsidePass += scanDepth == 0;
    const Drive *drive = find(root);
    if (!drive)
        return {};
    if (drive->throwing)
        throw std::runtime_error("drive gone");
    const char letter = static_cast<char>(root[0]);
    return std::string("/mnt/") + static_cast<char>(letter - 'A' + 'a') + " (fakefs, fake" +
           letter + ")";
}

void FakeVolumeSource::beginScan()
{
    passCount += scanDepth == 0;
    ++scanDepth;
}

void FakeVolumeSource::endScan()
{
    --scanDepth;
}
