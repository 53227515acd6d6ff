// Any bytes as a server's answer: the reader never crashes, and what it reads keeps its promises.
#include "fleet.h"
#include "prometheus_answer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const FleetReading reading = ReadFleetAnswer(text, FleetTime{});
    if (reading.answer.has_value() == !reading.problem.empty())
        std::abort(); // figures or a reason, never both, never neither
    if (reading.answer) {
        const FleetSnapshot snapshot = NextSnapshot({}, *reading.answer, std::chrono::seconds(15));
        for (const Machine &machine : snapshot.machines) {
            char last = 'B';
            for (const RemoteDrive &drive : RemoteDrives(machine.filesystems)) {
                if (drive.letter <= last || drive.letter > 'Z' ||
                    drive.filesystem >= machine.filesystems.size())
                    std::abort();
                last = drive.letter;
            }
            for (const RemoteFilesystem &fs : machine.filesystems) {
                if (fs.sizeBytes < 0 || fs.availBytes < 0 || fs.availBytes > fs.sizeBytes)
                    std::abort();
            }
        }
        FleetRows(snapshot);
    }
    // One plain line: no control character survives.
    for (const unsigned char c : PlainLine(text, 50)) {
        if (c < 0x20 || c == 0x7F)
            std::abort();
    }
    ScrapeIntervalOf(text);
    PrometheusError(text);
    return 0;
}
