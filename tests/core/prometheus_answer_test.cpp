#include "prometheus_answer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

const FleetTime now = FleetTime(1700000000000ms);

std::string answerOf(const std::string &series)
{
    return R"({"status":"success","data":{"resultType":"vector","result":[)" + series + "]}}";
}

// One series of machine b with the given labels and value.
std::string series(const std::string &labels, const std::string &value,
                   const std::string &time = "1700000100.5")
{
    return R"({"metric":{)" + labels + R"(},"value":[)" + time + ",\"" + value + "\"]}";
}

std::string filesystem(const std::string &kind, const std::string &value,
                       const std::string &point = "/data", const std::string &instance = "b:9100")
{
    return series(R"("__name__":"x","device":"/dev/sdb1","fstype":"ext4","instance":")" + instance +
                      R"(","job":"node","mountpoint":")" + point + R"(","volumo":")" + kind + "\"",
                  value);
}

const MachineAnswer *machine(const FleetAnswer &answer, const std::string &instance)
{
    for (const MachineAnswer &m : answer.machines) {
        if (m.instance == instance)
            return &m;
    }
    return nullptr;
}

// "/data 100/40 ro 3600s": the filesystems machine b answered with.
std::string figuresOf(const std::string &body)
{
    const FleetReading reading = ReadFleetAnswer(body, now);
    if (!reading.answer)
        return "problem: " + reading.problem;
    const MachineAnswer *b = machine(*reading.answer, "b:9100");
    if (!b)
        return "no machine";
    std::string text;
    for (const RemoteFilesystem &fs : b->filesystems) {
        text += text.empty() ? "" : "; ";
        text += fs.mountPoint + " " + std::to_string(fs.sizeBytes) + "/" +
                std::to_string(fs.availBytes);
        if (fs.readOnly)
            text += " ro";
        if (fs.timeToFull) {
            text += " ";
            text += std::to_string(fs.timeToFull->count());
            text += "s";
        }
    }
    return text;
}

} // namespace

TEST(ReadFleetAnswer, AnswersThatAreNoneGiveAReason)
{
    const std::string malformed = "Die Antwort des Servers ist kein gültiges JSON.";
    const std::string unexpected =
        "Der Server antwortet nicht wie Prometheus: die Antwort enthält keine Messreihen.";
    const std::string page = "Der Server antwortet mit einer Webseite statt mit Prometheus-Daten. "
                             "Stimmt die Adresse?";
    struct Row
    {
        const char *name;
        std::string body;
        std::string problem;
    };
    const Row rows[] = {
        {"empty body", "", malformed},
        {"cut off mid-way", answerOf(filesystem("size", "100")).substr(0, 80), malformed},
        {"trailing garbage", answerOf("") + "x", malformed},
        {"two answers in one", answerOf("") + answerOf(""), malformed},
        {"raw control character in a string",
         answerOf(series(R"("instance":"b)"
                         "\x01"
                         R"(")",
                         "1")),
         malformed},
        {"bad escape", answerOf(series(R"("instance":"b\q")", "1")), malformed},
        {"short unicode escape", answerOf(series(R"("instance":"b\u12")", "1")), malformed},
        {"label value not a string", answerOf(series(R"("instance":5)", "1")), malformed},
        {"value without time", answerOf(R"({"metric":{},"value":["1"]})"), malformed},
        {"nested a thousand deep",
         R"({"status":"success","x":)" + std::string(1000, '[') + std::string(1000, ']') + "}",
         malformed},
        {"a web page", "<!DOCTYPE html><html><body>Login</body></html>", page},
        {"a web page after blank lines", "\r\n  <html>", page},
        {"Prometheus' error answer",
         R"({"status":"error","errorType":"bad_data","error":"parse error at char 5"})",
         "Prometheus meldet einen Fehler: parse error at char 5"},
        {"Prometheus' error answer with markup and a line break",
         R"({"status":"error","error":"<b>bad</b>\nquery"})",
         "Prometheus meldet einen Fehler: <b>bad</b>\xEF\xBF\xBDquery"},
        {"a matrix instead of a vector",
         R"({"status":"success","data":{"resultType":"matrix","result":[]}})", unexpected},
        {"no result", R"({"status":"success","data":{"resultType":"vector"}})", unexpected},
        {"no status", R"({"data":{"resultType":"vector","result":[]}})", unexpected},
        {"an array at the top", "[1,2,3]", malformed},
        {"JSON of something else", R"({"hello":"world"})", unexpected},
    };
    for (const Row &row : rows) {
        const FleetReading reading = ReadFleetAnswer(row.body, now);
        EXPECT_FALSE(reading.answer) << row.name;
        EXPECT_EQ(reading.problem, row.problem) << row.name;
    }
}

TEST(ReadFleetAnswer, ValuesThatAreNoFiguresAreLeftOut)
{
    struct Row
    {
        const char *name;
        std::string series;
        std::string figures;
    };
    const std::string size = filesystem("size", "107374182400");
    const std::string avail = filesystem("avail", "42949672960");
    const Row rows[] = {
        {"size and free space", size + "," + avail, "/data 107374182400/42949672960"},
        {"in exponent form",
         filesystem("size", "1.073741824e+11") + "," + filesystem("avail", "4.294967296e+10"),
         "/data 107374182400/42949672960"},
        {"read-only and time to full",
         size + "," + avail + "," + filesystem("readonly", "1") + "," +
             filesystem("full_in", "3600.4"),
         "/data 107374182400/42949672960 ro 3600s"},
        {"NaN size: no filesystem", filesystem("size", "NaN") + "," + avail, "no machine"},
        {"+Inf free space: no filesystem", size + "," + filesystem("avail", "+Inf"), "no machine"},
        {"-Inf size: no filesystem", filesystem("size", "-Inf") + "," + avail, "no machine"},
        {"negative free space: no filesystem", size + "," + filesystem("avail", "-1"),
         "no machine"},
        {"beyond 63 bits: no filesystem", filesystem("size", "1e30") + "," + avail, "no machine"},
        {"no number: no filesystem", filesystem("size", "12 GB") + "," + avail, "no machine"},
        {"size alone: no filesystem", size, "no machine"},
        {"more free than size: free is the size",
         filesystem("size", "100") + "," + filesystem("avail", "150"), "/data 100/100"},
        {"duplicate series: the first counts",
         size + "," + avail + "," + filesystem("size", "5") + "," + filesystem("avail", "1"),
         "/data 107374182400/42949672960"},
        {"a NaN duplicate before a good one: the good one counts",
         filesystem("size", "NaN") + "," + size + "," + avail, "/data 107374182400/42949672960"},
        {"time to full that is no estimate is left out",
         size + "," + avail + "," + filesystem("full_in", "+Inf") + "," +
             filesystem("full_in", "-5", "/data") + "," + filesystem("full_in", "1e12"),
         "/data 107374182400/42949672960"},
        {"unknown kinds are passed over", size + "," + avail + "," + filesystem("inodes", "7"),
         "/data 107374182400/42949672960"},
        {"a series without instance is passed over",
         size + "," + avail + "," + series(R"("mountpoint":"/x","volumo":"size")", "1") + "," +
             series(R"("mountpoint":"/x","volumo":"avail")", "1"),
         "/data 107374182400/42949672960"},
        {"ordered by mount point",
         filesystem("size", "3", "/z") + "," + filesystem("avail", "1", "/z") + "," +
             filesystem("size", "2", "/a") + "," + filesystem("avail", "1", "/a"),
         "/a 2/1; /z 3/1"},
        {"members in any order, unknown ones skipped",
         R"({"value":[1700000100,"9"],"extra":{"a":[true,false,null,-1.5e3]},"metric":{)"
         R"("instance":"b:9100","mountpoint":"/m","volumo":"size","device":"tmpfs"}},)" +
             series(R"("instance":"b:9100","mountpoint":"/m","volumo":"avail","device":"tmpfs")",
                    "4"),
         "/m 9/4"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(figuresOf(answerOf(row.series)), row.figures) << row.name;
}

TEST(ReadFleetAnswer, MachinesUpSeenAndNamed)
{
    const std::string body = answerOf(
        filesystem("size", "100", "/", "b:9100") + "," + filesystem("avail", "50", "/", "b:9100") +
        "," + series(R"("instance":"b:9100","volumo":"up")", "1") + "," +
        series(R"("instance":"b:9100","volumo":"seen")", "1700000099.25") + "," +
        series(R"("instance":"b:9100","nodename":"host-b","volumo":"uname")", "1") + "," +
        series(R"("instance":"c:9100","volumo":"up")", "0") + "," +
        series(R"("instance":"c:9100","volumo":"up")", "1") + "," +
        series(R"("instance":"d:9100","volumo":"up")", "NaN") + "," +
        series(R"("instance":"e:9100","nodename":"e","volumo":"uname")", "1"));
    const FleetReading reading = ReadFleetAnswer(body, now);
    ASSERT_TRUE(reading.answer) << reading.problem;
    EXPECT_EQ(reading.answer->time, FleetTime(1700000100500ms));
    ASSERT_EQ(reading.answer->machines.size(), 2u); // d and e tell nothing of use
    const MachineAnswer *b = machine(*reading.answer, "b:9100");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->up, true);
    EXPECT_EQ(b->seen, FleetTime(1700000099250ms));
    EXPECT_EQ(b->nodename, "host-b");
    ASSERT_EQ(b->filesystems.size(), 1u);
    EXPECT_EQ(b->filesystems[0].device, "/dev/sdb1");
    EXPECT_EQ(b->filesystems[0].fsType, "ext4");
    const MachineAnswer *c = machine(*reading.answer, "c:9100");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->up, false); // the first of two counts
    EXPECT_TRUE(c->filesystems.empty());

    const FleetReading empty = ReadFleetAnswer(answerOf(""), now);
    ASSERT_TRUE(empty.answer);
    EXPECT_EQ(empty.answer->time, now);
    EXPECT_TRUE(empty.answer->machines.empty());
}

TEST(ReadFleetAnswer, LabelValuesAreKeptAsData)
{
    struct Row
    {
        const char *name;
        std::string json; // as the server escapes it
        std::string value;
    };
    const Row rows[] = {
        {"markup", R"(<b>bold</b><img src=x onerror=alert(1)>)",
         "<b>bold</b><img src=x onerror=alert(1)>"},
        {"escaped markup", R"(\u003cb\u003e)", "<b>"},
        {"right-to-left text", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D /\xD8\xA8\xD9\x8A\xD8\xA7\xD9\x86",
         "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D /\xD8\xA8\xD9\x8A\xD8\xA7\xD9\x86"},
        {"a right-to-left override", R"(\u202Eevil)",
         "\xE2\x80\xAE"
         "evil"},
        {"control characters", R"(a\u0000b\u0007c\n\t\r)",
         std::string("a\0b\x07"
                     "c\n\t\r",
                     8)},
        {"quotes, backslashes and slashes", R"(\"\\\/)", R"("\/)"},
        {"a character beyond the basic plane", R"(\ud83d\ude00)", "\xF0\x9F\x98\x80"},
        {"a lone surrogate half", R"(x\ud83dy)", "x\xEF\xBF\xBDy"},
        {"ten thousand characters", std::string(10000, 'w'), std::string(10000, 'w')},
    };
    for (const Row &row : rows) {
        const std::string point = "/" + row.json;
        const FleetReading reading = ReadFleetAnswer(
            answerOf(filesystem("size", "10", point) + "," + filesystem("avail", "5", point)), now);
        ASSERT_TRUE(reading.answer) << row.name << ": " << reading.problem;
        ASSERT_EQ(reading.answer->machines.size(), 1u) << row.name;
        ASSERT_EQ(reading.answer->machines[0].filesystems.size(), 1u) << row.name;
        EXPECT_EQ(reading.answer->machines[0].filesystems[0].mountPoint, "/" + row.value)
            << row.name;
    }
}

TEST(PrometheusError, TheServersOwnText)
{
    EXPECT_EQ(PrometheusError(R"({"status":"error","errorType":"unavailable","error":"down"})"),
              "down");
    EXPECT_EQ(PrometheusError(R"({"status":"success","data":{}})"), std::nullopt);
    EXPECT_EQ(PrometheusError("<html>503</html>"), std::nullopt);
    EXPECT_EQ(PrometheusError(""), std::nullopt);
}

TEST(ScrapeIntervalOf, TheGlobalSetting)
{
    const auto config = [](const std::string &yaml) {
        return R"({"status":"success","data":{"yaml":")" + yaml + "\"}}";
    };
    struct Row
    {
        const char *name;
        std::string body;
        std::optional<std::chrono::milliseconds> interval;
    };
    const Row rows[] = {
        {"Prometheus' own layout",
         config(R"(global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n)"
                R"(- job_name: node\n  scrape_interval: 5m\n)"),
         1s},
        {"quoted", config(R"(global:\n  scrape_interval: \"1m30s\"\n)"), 90s},
        {"only a job's own interval", config(R"(scrape_configs:\n- scrape_interval: 5s\n)"),
         std::nullopt},
        {"an error answer", R"({"status":"error","error":"not found"})", std::nullopt},
        {"a web page", "<html></html>", std::nullopt},
        {"no duration", config(R"(global:\n  scrape_interval: soon\n)"), std::nullopt},
    };
    for (const Row &row : rows)
        EXPECT_EQ(ScrapeIntervalOf(row.body), row.interval) << row.name;
}

TEST(ParseDuration, PrometheusDurations)
{
    struct Row
    {
        const char *text;
        std::optional<std::chrono::milliseconds> duration;
    };
    const Row rows[] = {
        {"15s", 15s},          {"500ms", 500ms},
        {"1m30s", 90s},        {"2h", 2h},
        {"1d", 24h},           {"1w", 168h},
        {"0s", std::nullopt},  {"", std::nullopt},
        {"s", std::nullopt},   {"15", std::nullopt},
        {"-5s", std::nullopt}, {"1.5s", std::nullopt},
        {"1x", std::nullopt},  {"111111111111d", std::nullopt},
        {"36500d", 876000h},   {"36500d1ms", std::nullopt},
    };
    for (const Row &row : rows)
        EXPECT_EQ(ParseDuration(row.text), row.duration) << row.text;
}

TEST(PlainLine, SafeToShowAsOneLine)
{
    struct Row
    {
        const char *name;
        std::string text;
        size_t limit;
        std::string line;
    };
    const std::string bad = "\xEF\xBF\xBD";
    const Row rows[] = {
        {"plain text stays", "/srv/data", 200, "/srv/data"},
        {"markup stays text", "<b>x</b>", 200, "<b>x</b>"},
        {"right-to-left letters stay", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", 200,
         "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
        {"an override does not turn what follows",
         "\xE2\x80\xAE"
         "abc",
         200, bad + "abc"},
        {"an isolate does not either",
         "\xE2\x81\xA7"
         "abc",
         200, bad + "abc"},
        {"line breaks, tabs and NUL", std::string("a\nb\tc\0d", 7), 200,
         "a" + bad + "b" + bad + "c" + bad + "d"},
        {"DEL and C1 controls",
         "a\x7F"
         "b\xC2\x85"
         "c",
         200, "a" + bad + "b" + bad + "c"},
        {"bytes that are no UTF-8",
         "a\xFF"
         "b\xC3",
         200, "a" + bad + "b" + bad},
        {"an overlong encoding", "\xC0\xAF", 200, bad},
        {"exactly the limit", "abcde", 5, "abcde"},
        {"one more: an ellipsis", "abcdef", 5, "abcd…"},
        {"counted in characters, not bytes", "äöüßäö", 5, "äöüß…"},
        {"ten thousand characters", std::string(10000, 'w'), 200, std::string(199, 'w') + "…"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PlainLine(row.text, row.limit), row.line) << row.name;
}
