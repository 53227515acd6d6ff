#include "host_pass.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

using Clock = BoundedQueries<HostAnswer>::Clock;
using Ticket = BoundedQueries<HostAnswer>::Ticket;

} // namespace

// One pass: the host's list as it was when the pass was opened, and each drive's one answer.
class HostPass : public Pass
{
public:
    explicit HostPass(HostVolumes &host) : host(host), listed(host.List())
    {
        slots.resize(listed->size());
        byLetter.fill(-1);
        for (size_t i = 0; i < slots.size(); ++i) {
            slots[i].drive = &(*listed)[i];
            if (const std::optional<size_t> letter = DriveIndexOf(slots[i].drive->root))
                byLetter[*letter] = static_cast<int>(i);
        }
    }

    ~HostPass() override
    {
        // Queries still running now are stuck until they return.
        for (Slot &slot : slots)
            BoundedQueries<HostAnswer>::abandon(slot.ticket);
    }

    HostPass(const HostPass &) = delete;
    HostPass &operator=(const HostPass &) = delete;

    DriveIdentity identity(const std::u16string &root) override
    {
        host.CheckThread();
        const Slot *slot = find(root);
        return slot ? host.IdentityOf(*slot->drive) : DriveIdentity{};
    }

    void ask(const std::vector<std::u16string> &roots) override
    {
        host.CheckThread();
        for (const std::u16string &root : roots) {
            Slot *slot = find(root);
            if (slot && slot->drive->mayHang && !slot->answered && !slot->started)
                start(*slot);
        }
    }

    bool ready(const std::u16string &root) override
    {
        host.CheckThread();
        Slot *slot = find(root);
        if (!slot || slot->answered || !slot->drive->mayHang)
            return true;
        if (!slot->started)
            start(*slot);
        return BoundedQueries<HostAnswer>::finished(slot->ticket) || *passDeadline <= Clock::now();
    }

    std::optional<VolumeSpace> space(const std::u16string &root) override
    {
        host.CheckThread();
        if (root.empty())
            return host.CurrentDrive();
        Slot *slot = find(root);
        if (!slot)
            return std::nullopt;
        if (!slot->answered) {
            slot->answer = answer(*slot);
            slot->answered = true;
        }
        return slot->answer;
    }

private:
    struct Slot
    {
        // In the pass's list, or what a reading anew found of it.
        const HostDrive *drive = nullptr;
        std::unique_ptr<HostDrive> reread;
        bool started = false;
        Ticket ticket;
        bool answered = false;
        std::optional<VolumeSpace> answer;
    };

    Slot *find(const std::u16string &root)
    {
        const std::optional<size_t> letter = DriveIndexOf(root);
        if (!letter || byLetter[*letter] < 0)
            return nullptr;
        return &slots[static_cast<size_t>(byLetter[*letter])];
    }

    // Volumes that may hang share the pass's deadline, set when the first of them is asked; one
    // asked after it has passed gets a bound of its own.
    Clock::time_point deadline()
    {
        const Clock::time_point now = Clock::now();
        if (!passDeadline || *passDeadline <= now)
            passDeadline = now + host.bound;
        return *passDeadline;
    }

    void start(Slot &slot)
    {
        deadline();
        slot.started = true;
        const bool identify = host.Identify(*slot.drive);
        slot.ticket = host.queries.start(
            slot.drive->helperKey, [ask = slot.drive->ask, identify] { return ask(identify); });
    }

    std::optional<HostAnswer> fetch(Slot &slot)
    {
        if (!slot.drive->mayHang)
            return slot.drive->ask(host.Identify(*slot.drive));
        if (!slot.started)
            start(slot);
        // Still stuck from before, or past the cap: nothing to wait for.
        if (!slot.ticket)
            return std::nullopt;
        const std::optional<HostAnswer> got =
            BoundedQueries<HostAnswer>::wait(slot.ticket, *passDeadline);
        if (got)
            slot.ticket.reset();
        return got;
    }

    std::optional<VolumeSpace> answer(Slot &slot)
    {
        std::optional<HostAnswer> got = fetch(slot);
        if (!got)
            return std::nullopt; // past its bound, or still stuck from before
        HostVolumes::Verdict verdict = host.Check(*slot.drive, *got);
        if (verdict == HostVolumes::Verdict::Retry) {
            // Once: the list read anew, the same mount asked again, wherever it lies now.
            std::optional<HostDrive> again = host.Reread(*slot.drive);
            if (!again)
                return std::nullopt;
            again->root = slot.drive->root;
            slot.reread = std::make_unique<HostDrive>(std::move(*again));
            slot.drive = slot.reread.get();
            slot.started = false;
            // (A mount found anew below a network mount may hang where it did not before; then
            // fetch sets the pass's deadline.)
            if (slot.drive->mayHang && passDeadline && *passDeadline <= Clock::now())
                return std::nullopt; // no time left in this pass
            got = fetch(slot);
            if (!got)
                return std::nullopt;
            verdict = host.Check(*slot.drive, *got);
        }
        return verdict == HostVolumes::Verdict::Accept ? got->space : std::nullopt;
    }

    HostVolumes &host;
    const HostVolumes::Drives listed;
    std::vector<Slot> slots;
    std::array<int, 24> byLetter;
    std::optional<Clock::time_point> passDeadline;
};

std::unique_ptr<Pass> HostVolumes::open()
{
    CheckThread();
    return std::make_unique<HostPass>(*this);
}

void HostVolumes::CheckThread()
{
    const std::thread::id caller = std::this_thread::get_id();
    if (!owner)
        owner = caller;
    else if (*owner != caller)
        throw std::logic_error("a volume source and its passes belong to one thread");
}
