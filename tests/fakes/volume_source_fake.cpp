#include "volume_source_fake.h"

#include <stdexcept>

void FakeVolumeSource::setDrive(char16_t letter, int64_t totalBytes, int64_t freeBytes)
{
    Drive &drive = drives[letter];
    drive.space = VolumeSpace();
    drive.space.totalBytes = totalBytes;
    drive.space.freeBytes = freeBytes;
    drive.failing = false;
    drive.throwing = false;
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

void FakeVolumeSource::swapMount(char16_t letter)
{
    ++drives[letter].mount;
}

// Looks at the drives once, when opened, as a host's pass looks at its list of drives.
class FakePass : public Pass
{
public:
    explicit FakePass(FakeVolumeSource &source) : source(source), drives(source.drives)
    {
        ++source.passCount;
    }

    DriveIdentity identity(const std::u16string &root) override
    {
        const FakeVolumeSource::Drive *drive = find(root);
        if (!drive || !source.describes)
            return {};
        if (drive->throwing)
            throw std::runtime_error("drive gone");
        const char letter = static_cast<char>(root[0]);
        return {std::string("/mnt/") + static_cast<char>(letter - 'A' + 'a') + " (fakefs, fake" +
                    letter + ")",
                std::string("fake") + letter + ":" + std::to_string(drive->mount)};
    }

    std::optional<VolumeSpace> space(const std::u16string &root) override
    {
        const auto known = answered.find(root);
        if (known != answered.end())
            return known->second;
        ++source.answers;
        const FakeVolumeSource::Drive *drive = find(root);
        std::optional<VolumeSpace> answer;
        if (drive && !drive->failing)
            answer = drive->space;
        answered[root] = answer;
        if (source.afterAnswer && root.size() == 3)
            source.afterAnswer(root[0]);
        return answer;
    }

private:
    const FakeVolumeSource::Drive *find(const std::u16string &root) const
    {
        if (root.size() != 3 || root[1] != u':' || root[2] != u'\\')
            return nullptr;
        const auto it = drives.find(root[0]);
        return it == drives.end() ? nullptr : &it->second;
    }

    FakeVolumeSource &source;
    const std::map<char16_t, FakeVolumeSource::Drive> drives;
    std::map<std::u16string, std::optional<VolumeSpace>> answered;
};

std::unique_ptr<Pass> FakeVolumeSource::open()
{
    return std::make_unique<FakePass>(*this);
}
