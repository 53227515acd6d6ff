// The Windows host adapters against Windows' own API as Wine provides it. tests/windows/wine.sh
// runs this program and passes what Linux says meanwhile: VOLUMO_C_SPACE and VOLUMO_Z_SPACE
// ("total free", in bytes, from statvfs of the folders C: and Z: stand for), the separators
// the locale it started Wine under must give (VOLUMO_SEPARATORS, thousands then decimal), and
// the file a stand-in xdg-open records the links it is handed in (VOLUMO_OPENED).
#include "drive_report.h"
#include "drive_stats.h"
#include "host_volume_source.h"
#include "number_separators.h"
#include "shell_open.h"
#include "stalled_server.h"
#include "uGlobal.h"
#include "volume_source_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include <windows.h>

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

struct LinuxSpace
{
    int64_t total = -1;
    int64_t free = -1;
};

LinuxSpace linuxSpace(const char *name)
{
    LinuxSpace space;
    std::istringstream(environment(name)) >> space.total >> space.free;
    return space;
}

class WindowsHost : public testing::Test
{
protected:
    std::unique_ptr<VolumeSource> host = CreateHostVolumeSource();
};

} // namespace

TEST_F(WindowsHost, DrivesAreTheFoldersWineMapsThemTo)
{
    struct Row
    {
        const char *name;
        char16_t letter;
        const char *said; // what Linux says of the folder it stands for
    };
    for (const Row &row :
         {Row{"C: is drive_c", u'C', "VOLUMO_C_SPACE"}, Row{"Z: is /", u'Z', "VOLUMO_Z_SPACE"}}) {
        const LinuxSpace expected = linuxSpace(row.said);
        ASSERT_GT(expected.total, 0) << row.said << " not passed in";
        const std::unique_ptr<Pass> pass = host->open();
        ASSERT_TRUE(DriveExists(*pass, row.letter)) << row.name;
        const DriveNo number = static_cast<DriveNo>(row.letter - 64);
        EXPECT_EQ(QueryDriveSize(*pass, number), expected.total) << row.name;
        // Other programs write to these disks while Wine starts: free space may have moved on
        // a little since Linux was asked, never by much.
        EXPECT_NEAR(static_cast<double>(QueryDriveFree(*pass, number)),
                    static_cast<double>(expected.free), 256.0 * (1 << 20))
            << row.name;
        const DriveStats stats = ReadDriveStats(*pass, number);
        EXPECT_EQ(stats.TotalGB, BytesToGB(expected.total)) << row.name;
        EXPECT_EQ(pass->identity(DriveRoot(number)).description, "") << "the letter is its name";
    }
    const std::unique_ptr<Pass> pass = host->open();
    EXPECT_FALSE(DriveExists(*pass, u'Q')) << "a letter with no mapping";
    EXPECT_EQ(QueryDriveSize(*pass, 17), -1);
    EXPECT_EQ(ReadDriveStats(*pass, 17).TotalGB, 0);
}

TEST_F(WindowsHost, LowerCaseLettersAndTheCurrentFoldersDriveAsOnLinux)
{
    const std::unique_ptr<Pass> pass = host->open();
    for (char16_t letter = u'a'; letter <= u'z'; ++letter)
        EXPECT_EQ(DriveExists(*pass, letter),
                  DriveExists(*pass, static_cast<char16_t>(letter - 32)))
            << static_cast<char>(letter);
    // Drive 0 is the drive of the current folder.
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, folder), 0u);
    const auto current = static_cast<DriveNo>(folder[0] - L'A' + 1);
    EXPECT_EQ(QueryDriveSize(*pass, 0), QueryDriveSize(*pass, current));
    EXPECT_GT(QueryDriveSize(*pass, 0), 0);
}

TEST_F(WindowsHost, TheErrorModeIsTheCallersAgainAfterEveryQuestion)
{
    const UINT before = GetErrorMode();
    for (const UINT callers : {UINT{0}, UINT{SEM_NOGPFAULTERRORBOX},
                               UINT{SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX}}) {
        SetErrorMode(callers);
        for (const char16_t letter : {u'C', u'Q', u'Z', u'B'}) {
            (void)DriveExists(*host->open(), letter);
            EXPECT_EQ(GetErrorMode(), callers) << "after " << static_cast<char>(letter);
        }
    }
    SetErrorMode(before);
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr int64_t GiB = int64_t{1} << 30;

// Network drives R: and S: whose server stops answering until released.
struct DeadServer : StalledServer
{
    static bool serves(LPCWSTR root) { return root && (root[0] == L'R' || root[0] == L'S'); }
};

WindowsDriveCalls callsWith(const std::shared_ptr<DeadServer> &server)
{
    WindowsDriveCalls calls;
    calls.getLogicalDrives = [] {
        return GetLogicalDrives() | (DWORD{1} << ('R' - 'A')) | (DWORD{1} << ('S' - 'A'));
    };
    calls.getDriveType = [](LPCWSTR root) -> UINT {
        return DeadServer::serves(root) ? DRIVE_REMOTE : GetDriveTypeW(root);
    };
    calls.getDiskFreeSpaceEx = [server](LPCWSTR directory, PULARGE_INTEGER callerFree,
                                        PULARGE_INTEGER total, PULARGE_INTEGER totalFree) -> BOOL {
        if (!DeadServer::serves(directory))
            return GetDiskFreeSpaceExW(directory, callerFree, total, totalFree);
        server->stallOn();
        total->QuadPart = 8 * GiB;
        callerFree->QuadPart = 3 * GiB;
        return TRUE;
    };
    return calls;
}

// What a scan sees: the usable letters, in one pass.
std::u16string scanLetters(VolumeSource &source)
{
    std::u16string letters;
    for (const DriveReport &report : ReportDrives(source)) {
        if (report.exists)
            letters += DriveLetter(report.number);
    }
    return letters;
}

} // namespace

TEST(NetworkDrives, BlockingServersCostOneBoundInAPassAndEveryQueryIsBounded)
{
    auto server = std::make_shared<DeadServer>();
    // Wine's own calls take a good part of a scan on a busy machine: a wide bound keeps one
    // bound and two apart.
    constexpr auto bound = 500ms;
    const std::unique_ptr<VolumeSource> host = CreateWindowsVolumeSource(callsWith(server), bound);
    const UINT errorMode = GetErrorMode();

    auto start = Clock::now();
    std::u16string letters = scanLetters(*host);
    auto took = Clock::now() - start;
    EXPECT_GE(took, bound);
    EXPECT_LT(took, bound * 2) << "two dead servers, existence, size and free: one bound";
    EXPECT_EQ(letters.find_first_of(u"RS"), std::u16string::npos);
    EXPECT_NE(letters.find(u'C'), std::u16string::npos);
    EXPECT_EQ(server->calls, 2);
    EXPECT_EQ(GetErrorMode(), errorMode);

    start = Clock::now();
    letters = scanLetters(*host);
    EXPECT_LT(Clock::now() - start, bound) << "drives still stuck are not waited for";
    EXPECT_EQ(QueryDriveSize(*host->open(), 18), -1);
    EXPECT_FALSE(DriveExists(*host->open(), u'S'));
    EXPECT_EQ(server->calls, 2) << "and start no new query";

    server->release();
    EXPECT_TRUE(Eventually([&] { return scanLetters(*host).find(u"RS") != std::u16string::npos; }));
    EXPECT_EQ(ReadDriveStats(*host->open(), 18).FreeGB, 3);

    // A question alone, a pass of its own, has the same bound.
    auto again = std::make_shared<DeadServer>();
    const std::unique_ptr<VolumeSource> stalling =
        CreateWindowsVolumeSource(callsWith(again), bound);
    start = Clock::now();
    EXPECT_EQ(QueryDriveSize(*stalling->open(), 18), -1);
    EXPECT_LT(Clock::now() - start, bound * 2);
    again->release();
}

TEST(WindowsDrives, APassAsksEachDriveOnceAndOnlyTheDrivesWindowsLists)
{
    std::map<wchar_t, int> asked;
    WindowsDriveCalls calls;
    calls.getLogicalDrives = [] {
        return DWORD{(1 << ('C' - 'A')) | (1 << ('E' - 'A'))};
    };
    calls.getDriveType = [](LPCWSTR root) -> UINT {
        return root[0] == L'E' ? DRIVE_CDROM : DRIVE_FIXED;
    };
    calls.getDiskFreeSpaceEx = [&](LPCWSTR directory, PULARGE_INTEGER callerFree,
                                   PULARGE_INTEGER total, PULARGE_INTEGER) -> BOOL {
        ++asked[directory ? directory[0] : L'.'];
        total->QuadPart = 100 * GiB;
        callerFree->QuadPart = 40 * GiB;
        return TRUE;
    };
    const std::unique_ptr<VolumeSource> host = CreateWindowsVolumeSource(calls, 1s);
    const std::vector<DriveReport> reports = ReportDrives(*host);
    EXPECT_EQ(asked, (std::map<wchar_t, int>{{L'C', 1}, {L'E', 1}}))
        << "existence, size and free from one answer; D: and the others not listed";
    EXPECT_TRUE(reports[0].window);
    EXPECT_FALSE(reports[1].exists);
    EXPECT_EQ(reports[2].stats.FreeGB, 40);
    EXPECT_FALSE(reports[0].space.readOnly);
    EXPECT_TRUE(reports[2].space.readOnly) << "a disc cannot fill up";
    EXPECT_FALSE(reports[0].key.empty()) << "the follower tells drives apart by it";
}

TEST(Separators, FromTheUsersLocaleAndReadAnewWhenTheSettingsChange)
{
    const std::string expected = environment("VOLUMO_SEPARATORS");
    ASSERT_EQ(expected.size(), 2u) << "VOLUMO_SEPARATORS not passed in";
    const NumberSeparators separators = ReadHostSeparators();
    EXPECT_EQ(separators.thousands, expected.substr(0, 1));
    EXPECT_EQ(separators.decimal, expected.substr(1, 1));

    SetNumberSeparators(separators);
    const std::string before = FormatGB(12345);
    EXPECT_EQ(before, "12" + separators.thousands + "345");
    // The user picks another thousands separator; Windows then sends WM_SETTINGCHANGE.
    wchar_t previous[8] = {};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, previous, 8), 0);
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"'"));
    EXPECT_EQ(FormatGB(12345), before) << "nothing changes until Windows says so";
    EXPECT_FALSE(SettingsChanged(u"Policy")) << "another area of the settings";
    EXPECT_EQ(FormatGB(12345), before);
    EXPECT_TRUE(SettingsChanged(u"intl"));
    EXPECT_EQ(FormatGB(12345), "12'345");
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, previous));
    EXPECT_TRUE(SettingsChanged(u"")) << "no area named";
    EXPECT_EQ(FormatGB(12345), before);
}

TEST(ShellOpen, ALinkNothingOpensFailsOneThatOpensSucceeds)
{
    EXPECT_FALSE(OpenWithShell(u"C:\\no such folder\\nothing.volumo"));

    // Wine hands web links on to Linux's xdg-open: the stand-in records it.
    const std::string record = environment("VOLUMO_OPENED");
    ASSERT_FALSE(record.empty()) << "VOLUMO_OPENED not passed in";
    std::string windowsPath = "Z:" + record;
    for (char &c : windowsPath) {
        if (c == '/')
            c = '\\';
    }
    EXPECT_TRUE(OpenWithShell(u"https://volumo.example/"));
    std::string opened;
    for (int wait = 0; wait < 100 && opened.empty(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream file(windowsPath);
        std::getline(file, opened);
    }
    EXPECT_EQ(opened, "https://volumo.example/");
}
