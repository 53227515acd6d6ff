#include "host_volume_source.h"

#include <windows.h>

namespace {

std::optional<VolumeSpace> askWindows(const std::u16string &root)
{
    ULARGE_INTEGER callerFree = {};
    ULARGE_INTEGER total = {};
    // An empty root asks for the drive of the current directory.
    const auto *directory = root.empty() ? nullptr : reinterpret_cast<LPCWSTR>(root.c_str());
    if (!GetDiskFreeSpaceExW(directory, &callerFree, &total, nullptr))
        return std::nullopt;
    return VolumeSpace{static_cast<int64_t>(total.QuadPart),
                       static_cast<int64_t>(callerFree.QuadPart)};
}

// Suppresses the critical-error box ("There is no disk in the drive") for its lifetime and gives
// the previous error mode back on every path out.
class CriticalErrorsSuppressed
{
public:
    CriticalErrorsSuppressed() : previous(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsSuppressed() { SetErrorMode(previous); }
    CriticalErrorsSuppressed(const CriticalErrorsSuppressed &) = delete;
    CriticalErrorsSuppressed &operator=(const CriticalErrorsSuppressed &) = delete;

private:
    UINT previous;
};

class WindowsVolumeSource : public VolumeSource
{
public:
    std::optional<VolumeSpace> space(const std::u16string &root) override
    {
        return askWindows(root);
    }

    std::optional<VolumeSpace> probe(const std::u16string &root) override
    {
        CriticalErrorsSuppressed suppressed;
        return askWindows(root);
    }
};

} // namespace

std::unique_ptr<VolumeSource> CreateHostVolumeSource()
{
    return std::make_unique<WindowsVolumeSource>();
}
