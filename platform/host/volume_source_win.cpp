#include "volume_source_win.h"

#include "host_pass.h"
#include "host_volume_source.h"

#include <string>

namespace {

std::optional<VolumeSpace> askWindows(const WindowsDriveCalls &calls, const std::u16string &root)
{
    // The thread's own error mode, so that a drive without medium fails at once instead of
    // asking the user; the caller's mode stays as it was.
    DWORD previous = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous);
    ULARGE_INTEGER callerFree = {};
    ULARGE_INTEGER total = {};
    // An empty root asks for the drive of the current directory.
    const auto *directory = root.empty() ? nullptr : reinterpret_cast<LPCWSTR>(root.c_str());
    const BOOL answered = calls.getDiskFreeSpaceEx(directory, &callerFree, &total, nullptr);
    SetThreadErrorMode(previous, nullptr);
    if (!answered)
        return std::nullopt;
    VolumeSpace space;
    space.totalBytes = static_cast<int64_t>(total.QuadPart);
    space.freeBytes = static_cast<int64_t>(callerFree.QuadPart);
    return space;
}

class WindowsVolumeSource : public HostVolumes
{
public:
    WindowsVolumeSource(WindowsDriveCalls calls, std::chrono::milliseconds bound)
        : HostVolumes(bound), calls(std::move(calls))
    {}

private:
    Drives List() override
    {
        const DWORD present = calls.getLogicalDrives();
        auto drives = std::make_shared<std::vector<HostDrive>>();
        for (int letter = 'C'; letter <= 'Z'; ++letter) {
            if (!(present & (DWORD{1} << (letter - 'A'))))
                continue;
            HostDrive drive;
            drive.root = {static_cast<char16_t>(letter), u':', u'\\'};
            const UINT type = calls.getDriveType(reinterpret_cast<LPCWSTR>(drive.root.c_str()));
            // The letter is Windows' own name for the drive: nothing to describe. Its kind
            // tells a network drive mapped in place of a stick.
            drive.identity.key =
                std::string(1, static_cast<char>(letter)) + ' ' + std::to_string(type);
            drive.helperKey = drive.identity.key;
            drive.mayHang = type == DRIVE_REMOTE;
            // A disc in a drive cannot fill up.
            const bool readOnly = type == DRIVE_CDROM;
            drive.ask = [calls = calls, root = drive.root, readOnly](bool) {
                HostAnswer answer;
                answer.space = askWindows(calls, root);
                if (answer.space)
                    answer.space->readOnly = readOnly;
                else
                    answer.error = static_cast<int>(GetLastError());
                return answer;
            };
            drives->push_back(std::move(drive));
        }
        return drives;
    }

    std::optional<VolumeSpace> CurrentDrive() override { return askWindows(calls, {}); }

    WindowsDriveCalls calls;
};

} // namespace

std::unique_ptr<VolumeSource> CreateWindowsVolumeSource(WindowsDriveCalls calls,
                                                        std::chrono::milliseconds bound)
{
    return std::make_unique<WindowsVolumeSource>(std::move(calls), bound);
}

std::unique_ptr<VolumeSource> CreateHostVolumeSource()
{
    return CreateWindowsVolumeSource({}, std::chrono::seconds(1));
}
