#pragma once

#include "fleet.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Prometheus' HTTP query API, as far as Volumo reads it: the one query that asks for every
// machine's figures at once and the reading of its answer, which may come from anything that
// speaks that API (Prometheus itself, a federating one, Thanos, VictoriaMetrics) or from
// something that does not.

// The instant query (PromQL) for every machine's filesystems, `up`, node_uname_info, the age of
// its newest figures and the time to full from the last six hours; each part told apart by the
// label `volumo`, since `or` keeps only one of several series with the same labels.
std::string FleetQuery();

// The answer to FleetQuery, or why it cannot be read (in German). Label values are kept as they
// come; values that are no number, not finite or negative are left out, and of duplicate series
// the first counts. `now` stands in for the server's time where the answer holds no series.
struct FleetReading
{
    std::optional<FleetAnswer> answer;
    std::string problem;
};
FleetReading ReadFleetAnswer(std::string_view body, FleetTime now);

// The text of Prometheus' error answer ({"status":"error","error":"..."}), as it came; nothing
// where the body is no such answer.
std::optional<std::string> PrometheusError(std::string_view body);

// Whether the body looks like a web page rather than data: a login page, a proxy's error page.
bool IsWebPage(std::string_view body);

// The global scrape interval from the answer of /api/v1/status/config; nothing where the answer
// does not tell it.
std::optional<std::chrono::milliseconds> ScrapeIntervalOf(std::string_view body);

// A Prometheus duration: "15s", "1m30s", "500ms", "2h"; nothing where it is none or zero.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

// A text from elsewhere (a label value, a server's error) made safe to show as one plain line:
// bytes that are no UTF-8, control characters and the characters that reorder text around them
// (bidirectional embeddings, overrides and isolates) become U+FFFD; beyond `limit` characters it
// ends in "…".
std::string PlainLine(std::string_view text, size_t limit = 200);
