#include "cipher/report.h"

#include <cinttypes>
#include <cstdio>

namespace zentil {

namespace {

constexpr char kFormat[] =
    "%7s files %" SCNu64 "/%" SCNu64 " bytes %" SCNu64 "/%" SCNu64 " failed %" SCNu64 "%n";

} // namespace

std::string formatReport(const Report &report) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "%s files %" PRIu64 "/%" PRIu64 " bytes %" PRIu64 "/%" PRIu64 " failed %" PRIu64
                  "\n",
                  report.done ? "done" : "working", report.filesDone, report.filesTotal,
                  report.bytesDone, report.bytesTotal, report.failed);
    return line;
}

std::optional<Report> parseReport(std::string_view line) {
    const std::string text(line);
    char state[8] = {};
    Report report;
    int used = 0;
    if (std::sscanf(text.c_str(), kFormat, state, &report.filesDone, &report.filesTotal,
                    &report.bytesDone, &report.bytesTotal, &report.failed, &used) != 6 ||
        static_cast<std::size_t>(used) != text.size())
        return std::nullopt;
    const std::string_view kind(state);
    if (kind != "done" && kind != "working")
        return std::nullopt;
    report.done = kind == "done";
    return report;
}

} // namespace zentil
