#include "prometheus_answer.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

// Deeper than any answer of Prometheus nests; a body nested deeper is no answer of it, and the
// reader never recurses beyond this.
constexpr int maxDepth = 32;

const char *const malformed = "Die Antwort des Servers ist kein gültiges JSON.";
const char *const unexpected =
    "Der Server antwortet nicht wie Prometheus: die Antwort enthält keine Messreihen.";

void appendUtf8(std::string &out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

constexpr uint32_t replacement = 0xFFFD;

// A reader of one JSON text that goes through it once, front to back, and stops at the first
// thing that is not JSON. Strings are decoded into buffers the caller reuses.
class JsonReader
{
public:
    explicit JsonReader(std::string_view text) : p(text.data()), end(text.data() + text.size()) {}

    bool ok() const { return good; }

    bool fail()
    {
        good = false;
        p = end;
        return false;
    }

    void skipSpace()
    {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
            ++p;
    }

    bool take(char c)
    {
        skipSpace();
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }

    bool expect(char c) { return take(c) || fail(); }

    bool atEnd()
    {
        skipSpace();
        return p == end;
    }

    bool string(std::string &out)
    {
        out.clear();
        return readString(&out);
    }

    bool skipString() { return readString(nullptr); }

    bool number(double &value)
    {
        skipSpace();
        const char *start = p;
        if (p < end && *p == '-')
            ++p;
        while (p < end && ((*p >= '0' && *p <= '9') || *p == '.' || *p == 'e' || *p == 'E' ||
                           *p == '+' || *p == '-'))
            ++p;
        const auto [last, error] = std::from_chars(start, p, value);
        return (error == std::errc() && last == p && p > start) || fail();
    }

    // Members of an object: `member` is called with each key and reads its value.
    template <class Member> bool object(std::string &key, Member &&member)
    {
        if (!expect('{'))
            return false;
        if (take('}'))
            return true;
        do {
            if (!string(key) || !expect(':') || !member(key))
                return fail();
        } while (take(','));
        return expect('}');
    }

    template <class Element> bool array(Element &&element)
    {
        if (!expect('['))
            return false;
        if (take(']'))
            return true;
        do {
            if (!element())
                return fail();
        } while (take(','));
        return expect(']');
    }

    bool skipValue(int depth = 0)
    {
        if (depth > maxDepth)
            return fail();
        skipSpace();
        if (p == end)
            return fail();
        switch (*p) {
        case '"':
            return skipString();
        case '{': {
            std::string key;
            return object(key, [&](const std::string &) { return skipValue(depth + 1); });
        }
        case '[':
            return array([&] { return skipValue(depth + 1); });
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default: {
            double ignored = 0;
            return number(ignored);
        }
        }
    }

private:
    bool literal(std::string_view word)
    {
        if (static_cast<size_t>(end - p) < word.size() || std::string_view(p, word.size()) != word)
            return fail();
        p += word.size();
        return true;
    }

    bool hex4(uint32_t &code)
    {
        if (end - p < 4)
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *p++;
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool readString(std::string *out)
    {
        skipSpace();
        if (p == end || *p != '"')
            return fail();
        ++p;
        for (;;) {
            const char *start = p;
            while (p < end && *p != '"' && *p != '\\' && static_cast<unsigned char>(*p) >= 0x20)
                ++p;
            if (out)
                out->append(start, p);
            if (p == end || static_cast<unsigned char>(*p) < 0x20)
                return fail();
            if (*p++ == '"')
                return true;
            if (p == end)
                return fail();
            const char escape = *p++;
            char plain = 0;
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                plain = escape;
                break;
            case 'b':
                plain = '\b';
                break;
            case 'f':
                plain = '\f';
                break;
            case 'n':
                plain = '\n';
                break;
            case 'r':
                plain = '\r';
                break;
            case 't':
                plain = '\t';
                break;
            case 'u': {
                uint32_t code = 0;
                if (!hex4(code))
                    return fail();
                if (code >= 0xD800 && code < 0xDC00 && end - p >= 6 && p[0] == '\\' &&
                    p[1] == 'u') {
                    const char *back = p;
                    p += 2;
                    uint32_t low = 0;
                    if (hex4(low) && low >= 0xDC00 && low < 0xE000)
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    else
                        p = back; // a lone half: the next escape stands for itself
                }
                if (code >= 0xD800 && code < 0xE000)
                    code = replacement;
                if (out)
                    appendUtf8(*out, code);
                continue;
            }
            default:
                return fail();
            }
            if (out)
                *out += plain;
        }
    }

    const char *p;
    const char *end;
    bool good = true;
};

// What the label `volumo` says a series is.
enum class Kind { Size, Avail, ReadOnly, FullIn, Seen, Up, Uname, Other };

Kind kindOf(std::string_view name)
{
    static const std::pair<std::string_view, Kind> kinds[] = {
        {"size", Kind::Size},      {"avail", Kind::Avail}, {"readonly", Kind::ReadOnly},
        {"full_in", Kind::FullIn}, {"seen", Kind::Seen},   {"up", Kind::Up},
        {"uname", Kind::Uname}};
    for (const auto &[text, kind] : kinds) {
        if (text == name)
            return kind;
    }
    return Kind::Other;
}

// A sample's value: a number written as text; "NaN", "+Inf" and "-Inf" are no figure.
std::optional<double> finiteValue(std::string_view text)
{
    double value = 0;
    const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || last != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Byte counts beyond what 63 bits hold are no figures of a real disk.
std::optional<int64_t> byteCount(std::string_view text)
{
    const std::optional<double> value = finiteValue(text);
    if (!value || *value < 0 || *value >= 9.2e18)
        return std::nullopt;
    return static_cast<int64_t>(*value);
}

std::optional<FleetTime> timeOf(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0 || seconds >= 1e11)
        return std::nullopt;
    return FleetTime(std::chrono::milliseconds(std::llround(seconds * 1000)));
}

// One series of the answer, its strings reused from series to series.
struct Series
{
    std::string instance;
    std::string mountPoint;
    std::string device;
    std::string fsType;
    std::string nodename;
    std::string kind;
    std::string value;
    double time = 0;

    void clear()
    {
        for (std::string *text : {&instance, &mountPoint, &device, &fsType, &nodename, &kind})
            text->clear();
        value.clear();
        time = 0;
    }

    std::string *label(std::string_view name)
    {
        if (name == "instance")
            return &instance;
        if (name == "mountpoint")
            return &mountPoint;
        if (name == "device")
            return &device;
        if (name == "fstype")
            return &fsType;
        if (name == "nodename")
            return &nodename;
        if (name == "volumo")
            return &kind;
        return nullptr;
    }
};

// Gathers the series machine by machine and filesystem by filesystem.
class FleetBuilder
{
public:
    // A series takes some 150 bytes of the answer, a filesystem two to four of them and a
    // machine some thirty: room made at once rather than grown step by step.
    explicit FleetBuilder(size_t answerBytes)
    {
        byFilesystem.reserve(answerBytes / 450);
        byInstance.reserve(answerBytes / 4500);
    }

    void add(const Series &series)
    {
        if (!time)
            time = timeOf(series.time);
        if (series.instance.empty())
            return;
        const Kind kind = kindOf(series.kind);
        switch (kind) {
        case Kind::Up:
            if (Entry &entry = machine(series.instance); !entry.hasUp) {
                const std::optional<double> value = finiteValue(series.value);
                if (value && (*value == 0 || *value == 1)) {
                    entry.answer.up = *value == 1;
                    entry.hasUp = true;
                }
            }
            return;
        case Kind::Seen:
            if (Entry &entry = machine(series.instance); !entry.answer.seen) {
                if (const std::optional<double> value = finiteValue(series.value))
                    entry.answer.seen = timeOf(*value);
            }
            return;
        case Kind::Uname:
            if (Entry &entry = machine(series.instance); entry.answer.nodename.empty())
                entry.answer.nodename = series.nodename;
            return;
        case Kind::Other:
            return;
        default:
            addFilesystemFigure(kind, series);
        }
    }

    std::vector<MachineAnswer> machines()
    {
        // The indexes are done with: their memory goes before the answers are put in order.
        byFilesystem = {};
        byInstance = {};
        std::vector<MachineAnswer> result;
        result.reserve(entries.size());
        for (Entry &entry : entries) {
            std::vector<RemoteFilesystem> &list = entry.answer.filesystems;
            size_t kept = 0;
            for (size_t i = 0; i < list.size(); ++i) {
                if (!(entry.figures[i] & hasSize) || !(entry.figures[i] & hasAvail))
                    continue;
                list[i].availBytes = std::min(list[i].availBytes, list[i].sizeBytes);
                if (kept != i)
                    list[kept] = std::move(list[i]);
                ++kept;
            }
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(kept), list.end());
            std::sort(list.begin(), list.end(),
                      [](const RemoteFilesystem &a, const RemoteFilesystem &b) {
                          return std::tie(a.mountPoint, a.device, a.fsType) <
                                 std::tie(b.mountPoint, b.device, b.fsType);
                      });
            entry.figures = {};
            if (entry.hasUp || !list.empty())
                result.push_back(std::move(entry.answer));
        }
        entries = {};
        return result;
    }

    std::optional<FleetTime> time;

private:
    enum Figure : uint8_t { hasSize = 1, hasAvail = 2, hasReadOnly = 4, hasFullIn = 8 };

    struct Entry
    {
        MachineAnswer answer;
        std::vector<uint8_t> figures; // which figures each filesystem has got
        bool hasUp = false;
    };

    Entry &machine(const std::string &instance)
    {
        // Servers answer a machine's series mostly one after the other.
        if (lastMachine < entries.size() && entries[lastMachine].answer.instance == instance)
            return entries[lastMachine];
        const auto [it, added] = byInstance.try_emplace(instance, entries.size());
        if (added) {
            entries.emplace_back();
            entries.back().answer.instance = instance;
        }
        lastMachine = it->second;
        return entries[it->second];
    }

    void addFilesystemFigure(Kind kind, const Series &series)
    {
        // Strings may hold any byte: each part goes in with its length.
        key.clear();
        for (const std::string *part :
             {&series.instance, &series.mountPoint, &series.device, &series.fsType}) {
            const size_t size = part->size();
            key.append(reinterpret_cast<const char *>(&size), sizeof size);
            key += *part;
        }
        Entry &entry = machine(series.instance);
        const auto [it, added] = byFilesystem.try_emplace(key, entry.figures.size());
        if (added) {
            RemoteFilesystem fs;
            fs.mountPoint = series.mountPoint;
            fs.device = series.device;
            fs.fsType = series.fsType;
            entry.answer.filesystems.push_back(std::move(fs));
            entry.figures.push_back(0);
        }
        const size_t index = it->second;
        RemoteFilesystem &fs = entry.answer.filesystems[index];
        uint8_t &figures = entry.figures[index];
        switch (kind) {
        case Kind::Size:
            if (const std::optional<int64_t> bytes = byteCount(series.value);
                bytes && !(figures & hasSize)) {
                fs.sizeBytes = *bytes;
                figures |= hasSize;
            }
            break;
        case Kind::Avail:
            if (const std::optional<int64_t> bytes = byteCount(series.value);
                bytes && !(figures & hasAvail)) {
                fs.availBytes = *bytes;
                figures |= hasAvail;
            }
            break;
        case Kind::ReadOnly:
            if (const std::optional<double> value = finiteValue(series.value);
                value && !(figures & hasReadOnly)) {
                fs.readOnly = *value == 1;
                figures |= hasReadOnly;
            }
            break;
        case Kind::FullIn:
            // Beyond a century the estimate says nothing a person acts on.
            if (const std::optional<double> value = finiteValue(series.value);
                value && *value > 0 && *value < 3.2e9 && !(figures & hasFullIn)) {
                fs.timeToFull = std::chrono::seconds(std::llround(*value));
                figures |= hasFullIn;
            }
            break;
        default:
            break;
        }
    }

    std::vector<Entry> entries;
    size_t lastMachine = 0;
    std::unordered_map<std::string, size_t> byInstance;
    // The key says which machine; the value is the filesystem's index within it.
    std::unordered_map<std::string, size_t> byFilesystem;
    std::string key;
};

bool readSeries(JsonReader &json, Series &series, std::string &key)
{
    series.clear();
    return json.object(key, [&](const std::string &member) {
        if (member == "metric") {
            std::string name;
            return json.object(name, [&](const std::string &label) {
                std::string *field = series.label(label);
                return field ? json.string(*field) : json.skipString();
            });
        }
        if (member == "value") {
            return json.expect('[') && json.number(series.time) && json.expect(',') &&
                   json.string(series.value) && json.expect(']');
        }
        return json.skipValue(1);
    });
}

// The top of an answer: status, error and data, whose result `onResult` reads.
struct Envelope
{
    std::string status;
    std::string error;
    std::string resultType;
    bool ok = false;
};

template <class OnData> Envelope readEnvelope(std::string_view body, OnData &&onData)
{
    Envelope envelope;
    JsonReader json(body);
    std::string key;
    const bool read = json.object(key, [&](const std::string &member) {
        if (member == "status")
            return json.string(envelope.status);
        if (member == "error")
            return json.string(envelope.error);
        if (member == "data")
            return onData(json, envelope);
        return json.skipValue(1);
    });
    envelope.ok = read && json.atEnd();
    return envelope;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return text;
}

// The next character of UTF-8 text, or nothing where the bytes are none; `text` moves past it.
std::optional<uint32_t> nextCharacter(std::string_view &text)
{
    const auto byte = [&](size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(0);
    size_t length = 0;
    uint32_t code = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
        text.remove_prefix(1);
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        text.remove_prefix(1);
        return std::nullopt;
    }
    for (size_t i = 1; i < length; ++i) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) {
            text.remove_prefix(i);
            return std::nullopt;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    text.remove_prefix(length);
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        return std::nullopt;
    return code;
}

bool isControlOrReordering(uint32_t code)
{
    return code < 0x20 || (code >= 0x7F && code < 0xA0) || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0x200E || code == 0x200F || code == 0x061C;
}

} // namespace

std::string FleetQuery()
{
    const auto part = [](const std::string &expression, const char *kind) {
        return "label_replace(" + expression + ", \"volumo\", \"" + kind + "\", \"\", \"\")";
    };
    const std::string perFilesystem = "max by (instance, mountpoint, device, fstype) ";
    const std::string avail6h = "node_filesystem_avail_bytes[6h]";
    return part(perFilesystem + "(node_filesystem_size_bytes)", "size") + " or " +
           part(perFilesystem + "(node_filesystem_avail_bytes)", "avail") + " or " +
           part(perFilesystem + "(node_filesystem_readonly) == 1", "readonly") + " or " +
           // Where the line through the last six hours of free space meets zero, from now:
           // its value now over its fall per second. Growing free space gives no time.
           part(perFilesystem + "(predict_linear(" + avail6h + ", 0) / -deriv(" + avail6h +
                    ")) > 0",
                "full_in") +
           " or " + part("max by (instance) (timestamp(node_filesystem_avail_bytes))", "seen") +
           " or " +
           // `up` of the jobs that scrape filesystems, not of every other exporter.
           part("min by (instance) (up and on (job) group by (job) (node_filesystem_size_bytes))",
                "up") +
           " or " + part("max by (instance, nodename) (node_uname_info)", "uname");
}

FleetReading ReadFleetAnswer(std::string_view body, FleetTime now)
{
    if (IsWebPage(body))
        return {std::nullopt, "Der Server antwortet mit einer Webseite statt mit Prometheus-Daten. "
                              "Stimmt die Adresse?"};
    FleetBuilder builder(body.size());
    bool hasResult = false;
    const Envelope envelope = readEnvelope(body, [&](JsonReader &json, Envelope &top) {
        std::string key;
        return json.object(key, [&](const std::string &member) {
            if (member == "resultType")
                return json.string(top.resultType);
            if (member != "result")
                return json.skipValue(2);
            hasResult = true;
            Series series;
            std::string seriesKey;
            return json.array([&] {
                if (!readSeries(json, series, seriesKey))
                    return false;
                builder.add(series);
                return true;
            });
        });
    });
    if (!envelope.ok)
        return {std::nullopt, malformed};
    if (envelope.status == "error")
        return {std::nullopt, "Prometheus meldet einen Fehler: " + PlainLine(envelope.error)};
    if (envelope.status != "success" || envelope.resultType != "vector" || !hasResult)
        return {std::nullopt, unexpected};
    FleetAnswer answer;
    answer.time = builder.time.value_or(now);
    answer.machines = builder.machines();
    return {std::move(answer), {}};
}

std::optional<std::string> PrometheusError(std::string_view body)
{
    const Envelope envelope =
        readEnvelope(body, [](JsonReader &json, Envelope &) { return json.skipValue(1); });
    if (!envelope.ok || envelope.status != "error")
        return std::nullopt;
    return envelope.error;
}

bool IsWebPage(std::string_view body)
{
    const size_t first = body.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && body[first] == '<';
}

std::optional<std::chrono::milliseconds> ScrapeIntervalOf(std::string_view body)
{
    std::string yaml;
    const Envelope envelope = readEnvelope(body, [&](JsonReader &json, Envelope &) {
        std::string key;
        return json.object(key, [&](const std::string &member) {
            return member == "yaml" ? json.string(yaml) : json.skipValue(2);
        });
    });
    if (!envelope.ok || envelope.status != "success")
        return std::nullopt;
    // Prometheus writes its configuration out in one layout: "global:" at the margin, its
    // settings indented below it.
    bool inGlobal = false;
    for (size_t pos = 0; pos < yaml.size();) {
        const size_t end = std::min(yaml.find('\n', pos), yaml.size());
        const std::string_view line = std::string_view(yaml).substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() != ' ' && line.front() != '\t') {
            inGlobal = trimmed(line) == "global:";
            continue;
        }
        const std::string_view setting = trimmed(line);
        constexpr std::string_view name = "scrape_interval:";
        if (inGlobal && setting.starts_with(name))
            return ParseDuration(trimmed(setting.substr(name.size())));
    }
    return std::nullopt;
}

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text)
{
    using namespace std::chrono;
    static const std::pair<std::string_view, milliseconds> units[] = {
        {"ms", milliseconds(1)}, {"s", seconds(1)},    {"m", minutes(1)},     {"h", hours(1)},
        {"d", hours(24)},        {"w", hours(24 * 7)}, {"y", hours(24 * 365)}};
    // No interval of a century is meant; the bound keeps the sums far from overflowing.
    constexpr milliseconds longest = hours(24 * 365 * 100);
    milliseconds total{0};
    if (text.empty())
        return std::nullopt;
    while (!text.empty()) {
        size_t digits = 0;
        while (digits < text.size() && isDigit(text[digits]))
            ++digits;
        int64_t count = 0;
        const auto [last, error] = std::from_chars(text.data(), text.data() + digits, count);
        if (digits == 0 || digits > 12 || error != std::errc())
            return std::nullopt;
        text.remove_prefix(digits);
        // "ms" comes before "m" and "s": "500ms" is no minutes.
        const auto unit = std::find_if(std::begin(units), std::end(units),
                                       [&](const auto &u) { return text.starts_with(u.first); });
        if (unit == std::end(units))
            return std::nullopt;
        text.remove_prefix(unit->first.size());
        if (count > longest / unit->second)
            return std::nullopt;
        total += count * unit->second;
        if (total > longest)
            return std::nullopt;
    }
    if (total <= milliseconds(0))
        return std::nullopt;
    return total;
}

std::string PlainLine(std::string_view text, size_t limit)
{
    std::string line;
    line.reserve(std::min(text.size(), limit * 4));
    size_t count = 0;
    size_t cut = 0; // where the last character that fits beside an ellipsis ends
    while (!text.empty()) {
        if (count == limit) {
            line.resize(cut);
            line += "…";
            return line;
        }
        if (count + 1 == limit)
            cut = line.size();
        const std::optional<uint32_t> code = nextCharacter(text);
        appendUtf8(line, code && !isControlOrReordering(*code) ? *code : replacement);
        ++count;
    }
    return line;
}
