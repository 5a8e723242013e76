#include "cipher/report.h"

#include <cinttypes>
#include <cstdio>

namespace zentil {

namespace {

constexpr char kFormat[] =
    "%7s files %" SCNu64 "/%" SCNu64 " bytes %" SCNu64 "/%" SCNu64 " failed %" SCNu64 "%n";

} // namespace

std::string formatReport(const Report &report) {
    char line[256];
    std::snprintf(
        line, sizeof line,
        "%s files %" PRIu64 "/%" PRIu64 " bytes %" PRIu64 "/%" PRIu64 " failed %" PRIu64 "%s%s\n",
        report.done ? "done" : "working", report.filesDone, report.filesTotal, report.bytesDone,
        report.bytesTotal, report.failed, report.note.empty() ? "" : " note ", report.note.c_str());
    return line;
}

std::optional<Report> parseReport(std::string_view line) {
    const std::string text(line);
    char state[8] = {};
    Report report;
    int used = 0;
    if (std::sscanf(text.c_str(), kFormat, state, &report.filesDone, &report.filesTotal,
                    &report.bytesDone, &report.bytesTotal, &report.failed, &used) != 6)
        return std::nullopt;
    const std::string_view rest = std::string_view(text).substr(static_cast<std::size_t>(used));
    constexpr std::string_view kNote = " note ";
    if (rest.substr(0, kNote.size()) == kNote && rest.size() > kNote.size())
        report.note = rest.substr(kNote.size());
    else if (!rest.empty())
        return std::nullopt;
    const std::string_view kind(state);
    if (kind != "done" && kind != "working")
        return std::nullopt;
    report.done = kind == "done";
    return report;
}

} // namespace zentil
