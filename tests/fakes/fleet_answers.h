#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Answers to FleetQuery as a server writes them. Label values go in as JSON text, escapes and
// all.
inline std::string FleetAnswerOf(const std::vector<std::string> &series)
{
    std::string body = R"({"status":"success","data":{"resultType":"vector","result":[)";
    for (size_t i = 0; i < series.size(); ++i)
        body += (i ? "," : "") + series[i];
    return body + "]}}";
}

// One figure of a filesystem: `kind` is size, avail, readonly or full_in.
inline std::string FilesystemSeries(const std::string &instance, const std::string &mountPoint,
                                    const std::string &kind, const std::string &value,
                                    const std::string &device = "/dev/sdb1")
{
    return R"({"metric":{"device":")" + device + R"(","fstype":"ext4","instance":")" + instance +
           R"(","mountpoint":")" + mountPoint + R"(","volumo":")" + kind +
           R"("},"value":[1700000000.5,")" + value + "\"]}";
}

// One figure of a machine: `kind` is up, seen or uname.
inline std::string MachineSeries(const std::string &instance, const std::string &kind,
                                 const std::string &value)
{
    return R"({"metric":{"instance":")" + instance + R"(","volumo":")" + kind +
           R"("},"value":[1700000000.5,")" + value + "\"]}";
}

// A server's answer to FleetQuery for a made-up fleet: `machines` machines named
// host-0000.example.net:9100 and on, each with `filesystems` ext4 filesystems ("/" and
// /srv/data1 and on), of which the first three are filling up. The same arguments give the same
// text.
inline std::string GeneratedFleetAnswer(int machines, int filesystems)
{
    std::string body = R"({"status":"success","data":{"resultType":"vector","result":[)";
    const std::string time = "1700000000.123";
    bool first = true;
    const auto series = [&](const std::string &labels, const std::string &value) {
        body += first ? "" : ",";
        first = false;
        body += R"({"metric":{)" + labels + R"(},"value":[)" + time + ",\"" + value + "\"]}";
    };
    uint64_t state = 42;
    const auto next = [&] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return state >> 33;
    };
    for (int m = 0; m < machines; ++m) {
        char name[64];
        std::snprintf(name, sizeof name, "host-%04d.example.net:9100", m);
        const std::string instance = std::string(R"("instance":")") + name + "\"";
        series(instance + R"(,"volumo":"up")", "1");
        series(instance + R"(,"volumo":"seen")", "1699999999.5");
        for (int f = 0; f < filesystems; ++f) {
            const std::string point = f == 0 ? "/" : "/srv/data" + std::to_string(f);
            const std::string labels = R"("device":"/dev/sd)" + std::string(1, char('a' + f % 26)) +
                                       R"(1","fstype":"ext4",)" + instance + R"(,"mountpoint":")" +
                                       point + "\"";
            const uint64_t size = (uint64_t{100} << 30) * (f + 1);
            series(labels + R"(,"volumo":"size")", std::to_string(size));
            series(labels + R"(,"volumo":"avail")", std::to_string(next() % size));
            if (f < 3)
                series(labels + R"(,"volumo":"full_in")", std::to_string(next() % 1000000) + ".25");
        }
    }
    body += "]}}";
    return body;
}
