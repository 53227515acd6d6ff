#include "volume_source_win.h"

#include "bounded_queries.h"
#include "host_volume_source.h"

#include <array>
#include <optional>
#include <string>

namespace {

using Queries = BoundedQueries<std::optional<VolumeSpace>>;

std::optional<VolumeSpace> askWindows(const WindowsDriveCalls &calls, const std::u16string &root)
{
    ULARGE_INTEGER callerFree = {};
    ULARGE_INTEGER total = {};
    // An empty root asks for the drive of the current directory.
    const auto *directory = root.empty() ? nullptr : reinterpret_cast<LPCWSTR>(root.c_str());
    if (!calls.getDiskFreeSpaceEx(directory, &callerFree, &total, nullptr))
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

// "C:\" gives 0, "D:\" 1 and so on up to "Z:\"; anything else gives nothing.
std::optional<size_t> letterIndex(const std::u16string &root)
{
    if (root.size() != 3 || root[1] != u':' || root[2] != u'\\' || root[0] < u'C' || root[0] > u'Z')
        return std::nullopt;
    return static_cast<size_t>(root[0] - u'C');
}

class WindowsVolumeSource : public VolumeSource
{
public:
    WindowsVolumeSource(WindowsDriveCalls calls, std::chrono::milliseconds bound)
        : calls(std::move(calls)), bound(bound)
    {}

    std::optional<VolumeSpace> space(const std::u16string &root) override
    {
        return answerFor(root, false);
    }

    std::optional<VolumeSpace> probe(const std::u16string &root) override
    {
        return answerFor(root, true);
    }

    void beginScan() override
    {
        if (depth++ > 0)
            return;
        ++pass;
        passAsked = false;
    }

    void endScan() override
    {
        if (depth == 0 || --depth > 0)
            return;
        // Queries still running now stay on record as stuck until they return.
        for (Drive &drive : drives)
            drive.ticket.reset();
        queries.prune();
    }

private:
    struct Drive
    {
        uint64_t answeredIn = 0;
        std::optional<VolumeSpace> answer;
        Queries::Ticket ticket;
    };

    std::optional<VolumeSpace> answerFor(const std::u16string &root, bool existence)
    {
        const std::optional<size_t> index = letterIndex(root);
        if (depth == 0 || !index)
            return fetch(root, existence);
        // Within a pass a drive's existence, size and free space are one answer.
        Drive &drive = drives[*index];
        if (drive.answeredIn != pass) {
            drive.answer = fetch(root, existence);
            drive.answeredIn = pass;
        }
        return drive.answer;
    }

    bool isRemote(const std::u16string &root) const
    {
        return !root.empty() &&
               calls.getDriveType(reinterpret_cast<LPCWSTR>(root.c_str())) == DRIVE_REMOTE;
    }

    std::optional<VolumeSpace> fetch(const std::u16string &root, bool existence)
    {
        if (!isRemote(root)) {
            if (!existence)
                return askWindows(calls, root);
            CriticalErrorsSuppressed suppressed;
            return askWindows(calls, root);
        }
        const std::optional<size_t> index = letterIndex(root);
        if (depth == 0 || !index)
            return wait(start(root, existence), Queries::Clock::now() + bound);
        // Dead servers are waited for side by side: the pass's first network query asks every
        // network drive at once, and all of them share one deadline.
        if (!passAsked) {
            passAsked = true;
            passDeadline = Queries::Clock::now() + bound;
            for (size_t other = 0; other < drives.size(); ++other) {
                const std::u16string otherRoot = {static_cast<char16_t>(u'C' + other), u':', u'\\'};
                if (isRemote(otherRoot))
                    drives[other].ticket = start(otherRoot, existence);
            }
        }
        return wait(drives[*index].ticket, passDeadline);
    }

    Queries::Ticket start(const std::u16string &root, bool existence)
    {
        // The helper thread may outlive this source; it holds its own copies of all it uses.
        return queries.start(std::string(root.begin(), root.end()),
                             [calls = calls, root, existence]() -> std::optional<VolumeSpace> {
                                 if (!existence)
                                     return askWindows(calls, root);
                                 // The thread's own error mode: the caller's stays as it is.
                                 DWORD previous = 0;
                                 SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous);
                                 const std::optional<VolumeSpace> answer = askWindows(calls, root);
                                 SetThreadErrorMode(previous, nullptr);
                                 return answer;
                             });
    }

    static std::optional<VolumeSpace> wait(const Queries::Ticket &ticket,
                                           Queries::Clock::time_point deadline)
    {
        const std::optional<std::optional<VolumeSpace>> answer = Queries::wait(ticket, deadline);
        return answer ? *answer : std::nullopt;
    }

    WindowsDriveCalls calls;
    std::chrono::milliseconds bound;
    std::array<Drive, 24> drives;
    int depth = 0;
    uint64_t pass = 0;
    bool passAsked = false;
    Queries::Clock::time_point passDeadline;
    Queries queries;
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
