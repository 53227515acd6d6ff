// The pass machinery every host shares, against a scripted host: plain C++, so it also runs
// under Wine in the Windows build.
#include "host_pass.h"
#include "stalled_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

VolumeSpace space(int64_t total, int64_t free)
{
    VolumeSpace space;
    space.totalBytes = total;
    space.freeBytes = free;
    return space;
}

// How a scripted drive answers: counted, and shared with the helpers, which may outlive the
// test while a query is stuck.
struct Script
{
    std::atomic<int> asked = 0;
    std::atomic<int> identified = 0;
    std::shared_ptr<StalledServer> server; // set: the drive stops answering
    bool throws = false;
    int64_t totalBytes = int64_t{8} << 30;
};

class ScriptedHost : public HostVolumes
{
public:
    using HostVolumes::Verdict;

    explicit ScriptedHost(std::chrono::milliseconds bound = 200ms) : HostVolumes(bound) {}

    // Adds the next letter's drive, C: first.
    std::shared_ptr<Script> add(bool mayHang, std::string key = {})
    {
        auto script = std::make_shared<Script>();
        const auto letter = static_cast<char16_t>(u'C' + drives.size());
        HostDrive drive;
        drive.root = {letter, u':', u'\\'};
        drive.identity = {std::string("drive ") + static_cast<char>(letter),
                          key.empty() ? std::string(1, static_cast<char>(letter)) : key};
        drive.helperKey = drive.identity.key;
        drive.mayHang = mayHang;
        drive.ask = [script](bool identify) {
            ++script->asked;
            script->identified += identify;
            if (script->server)
                script->server->stallOn();
            if (script->throws)
                throw std::runtime_error("the host's call failed");
            HostAnswer answer;
            answer.space = space(script->totalBytes, script->totalBytes / 2);
            answer.identified = identify;
            return answer;
        };
        drives.push_back(drive);
        return script;
    }

    // What the host's checks say, answer by answer; Accept where nothing is scripted.
    std::vector<Verdict> verdicts;
    int lists = 0;
    int rereads = 0;
    std::vector<HostDrive> drives;

protected:
    Drives List() override
    {
        ++lists;
        return std::make_shared<std::vector<HostDrive>>(drives);
    }
    bool Identify(const HostDrive &) override { return !verdicts.empty(); }
    Verdict Check(const HostDrive &drive, const HostAnswer &answer) override
    {
        if (!verdicts.empty()) {
            const Verdict verdict = verdicts.front();
            verdicts.erase(verdicts.begin());
            return verdict;
        }
        return HostVolumes::Check(drive, answer);
    }
    std::optional<HostDrive> Reread(const HostDrive &drive) override
    {
        ++rereads;
        for (const HostDrive &listed : drives) {
            if (listed.identity.key == drive.identity.key)
                return listed;
        }
        return std::nullopt;
    }
    std::optional<VolumeSpace> CurrentDrive() override { return space(1, 1); }
};

} // namespace

TEST(HostPass, EachDriveIsAskedOnceAndWhatItStandsForNeverAsksIt)
{
    ScriptedHost host;
    const auto local = host.add(false);
    const auto remote = host.add(true);
    const std::unique_ptr<Pass> pass = host.open();
    EXPECT_EQ(pass->identity(u"C:\\"), (DriveIdentity{"drive C", "C"}));
    EXPECT_EQ(pass->identity(u"E:\\"), DriveIdentity{}) << "no such drive";
    EXPECT_EQ(local->asked + remote->asked, 0) << "the list alone";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pass->space(u"C:\\")->totalBytes, int64_t{8} << 30);
        EXPECT_EQ(pass->space(u"D:\\")->freeBytes, int64_t{4} << 30);
        EXPECT_FALSE(pass->space(u"E:\\"));
    }
    EXPECT_EQ(local->asked, 1);
    EXPECT_EQ(remote->asked, 1);
    EXPECT_EQ(host.lists, 1) << "the list once, when the pass opened";

    const std::unique_ptr<Pass> next = host.open();
    EXPECT_TRUE(next->space(u"D:\\"));
    EXPECT_EQ(remote->asked, 2) << "the next pass asks anew";
    EXPECT_EQ(host.lists, 2);
}

TEST(HostPass, DrivesAnnouncedTogetherAreAskedSideBySideUnderOneBound)
{
    ScriptedHost host(300ms);
    auto server = std::make_shared<StalledServer>();
    std::vector<std::shared_ptr<Script>> dead;
    for (int i = 0; i < 5; ++i) {
        dead.push_back(host.add(true));
        dead.back()->server = server;
    }
    const auto alive = host.add(true);
    const std::unique_ptr<Pass> pass = host.open();
    const std::vector<std::u16string> roots = DriveRoots(3, 8);
    pass->ask(roots);
    // All of them are being asked before the first answer is waited for.
    EXPECT_TRUE(Eventually([&] { return server->calls == 5; }));
    const auto start = Clock::now();
    for (const std::u16string &root : roots)
        EXPECT_EQ(pass->space(root).has_value(), root == u"H:\\");
    EXPECT_LT(Clock::now() - start, 5 * 300ms) << "not one bound after the other";
    EXPECT_EQ(alive->asked, 1);
    server->release();
}

TEST(HostPass, AStaleListIsReadAgainAndTheDriveAskedOnceMoreNeverTwice)
{
    using Verdict = ScriptedHost::Verdict;
    struct Row
    {
        const char *name;
        bool mayHang;
        std::vector<Verdict> verdicts;
        bool answered;
        int asked;
        // Read anew, the mount lies below a network mount now and may hang.
        bool movesBelowANetworkMount = false;
    };
    const Row rows[] = {
        {"a stale change, then confirmed", false, {Verdict::Retry, Verdict::Accept}, true, 2},
        {"stale twice: nothing", false, {Verdict::Retry, Verdict::Retry}, false, 2},
        {"rejected: asked once", false, {Verdict::Reject}, false, 1},
        {"a volume that may hang, stale then confirmed",
         true,
         {Verdict::Retry, Verdict::Accept},
         true,
         2},
        {"stale, and found anew below a network mount",
         false,
         {Verdict::Retry, Verdict::Accept},
         true,
         2,
         true},
    };
    for (const Row &row : rows) {
        ScriptedHost host;
        const auto drive = host.add(row.mayHang);
        host.verdicts = row.verdicts;
        const std::unique_ptr<Pass> pass = host.open();
        host.drives[0].mayHang = row.movesBelowANetworkMount || row.mayHang;
        EXPECT_EQ(pass->space(u"C:\\").has_value(), row.answered) << row.name;
        EXPECT_EQ(drive->asked, row.asked) << row.name;
        EXPECT_EQ(drive->identified, row.asked) << row.name << ": each answer identified";
        EXPECT_EQ(host.rereads, row.asked - 1) << row.name;
    }

    // The mount gone from the list read anew: nothing, and no second question.
    ScriptedHost host;
    const auto drive = host.add(false);
    host.verdicts = {Verdict::Retry};
    const std::unique_ptr<Pass> pass = host.open();
    host.drives.clear();
    EXPECT_FALSE(pass->space(u"C:\\"));
    EXPECT_EQ(drive->asked, 1);
}

TEST(HostPass, StuckQueriesAreCappedAndPastTheCapAVolumeFailsAtOnce)
{
    ScriptedHost host(100ms);
    auto server = std::make_shared<StalledServer>();
    std::vector<std::shared_ptr<Script>> first;
    for (int i = 0; i < 10; ++i) {
        first.push_back(host.add(true, "first " + std::to_string(i)));
        first.back()->server = server;
    }
    {
        const std::unique_ptr<Pass> pass = host.open();
        pass->ask(DriveRoots(3, 12));
        for (const std::u16string &root : DriveRoots(3, 12))
            EXPECT_FALSE(pass->space(root));
    }
    EXPECT_EQ(server->calls, 10) << "one pass asks all it was asked for";

    // Ten stuck: the same volumes remounted under new keys are not asked at all.
    host.drives.clear();
    std::vector<std::shared_ptr<Script>> again;
    for (int i = 0; i < 5; ++i)
        again.push_back(host.add(true, "again " + std::to_string(i)));
    const std::unique_ptr<Pass> pass = host.open();
    pass->ask(DriveRoots(3, 7));
    for (const std::u16string &root : DriveRoots(3, 7))
        EXPECT_FALSE(pass->space(root));
    int asked = 0;
    for (const auto &script : again)
        asked += script->asked;
    EXPECT_EQ(asked, 0);

    // Once they return, volumes are asked again.
    server->release();
    EXPECT_TRUE(Eventually([&] { return host.open()->space(u"C:\\").has_value(); }));
}

TEST(HostPass, AnIdleHelperServesTheNextPassWhileAnotherIsStuck)
{
    ScriptedHost host(300ms);
    auto server = std::make_shared<StalledServer>();
    const auto stuck = host.add(true);
    stuck->server = server;
    const auto responsive = host.add(true);
    for (int round = 0; round < 3; ++round) {
        const std::unique_ptr<Pass> pass = host.open();
        pass->ask(DriveRoots(3, 4));
        EXPECT_FALSE(pass->space(u"C:\\")) << "round " << round;
        EXPECT_TRUE(pass->space(u"D:\\")) << "round " << round;
    }
    EXPECT_EQ(stuck->asked, 1) << "a stuck volume is asked once";
    EXPECT_EQ(responsive->asked, 3);
    server->release();
}

TEST(HostPass, AQueryThatThrowsIsNoAnswerAndTheHelperLivesOn)
{
    ScriptedHost host;
    const auto failing = host.add(true);
    failing->throws = true;
    EXPECT_FALSE(host.open()->space(u"C:\\"));
    failing->throws = false;
    EXPECT_TRUE(Eventually([&] { return host.open()->space(u"C:\\").has_value(); }));
    EXPECT_GE(failing->asked, 2);
}

TEST(HostPass, APassBelongsToTheThreadThatOpenedIt)
{
    ScriptedHost host;
    host.add(false);
    const std::unique_ptr<Pass> pass = host.open();
    std::string caught;
    std::thread([&] {
        try {
            pass->space(u"C:\\");
        } catch (const std::logic_error &error) {
            caught = error.what();
        }
    }).join();
    EXPECT_FALSE(caught.empty()) << "another thread's question";
    EXPECT_TRUE(pass->space(u"C:\\")) << "its own thread's";
    EXPECT_EQ(pass->space(u"")->totalBytes, 1) << "the current directory's drive";
}
