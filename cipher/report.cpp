#include "cipher/report.h"

#include <charconv>

namespace zentil {

namespace {

// Takes word from the front of text, when text starts with it.
bool take(std::string_view &text, std::string_view word) {
    if (text.substr(0, word.size()) != word)
        return false;
    text.remove_prefix(word.size());
    return true;
}

// Takes a number from the front of text, written as formatReport writes one: decimal digits
// without a sign or a leading zero, no more than 64 bits hold.
bool take(std::string_view &text, std::uint64_t &number) {
    const char *end = text.data() + text.size();
    const auto [past, error] = std::from_chars(text.data(), end, number);
    const std::size_t digits = static_cast<std::size_t>(past - text.data());
    if (error != std::errc() || (digits > 1 && text.front() == '0'))
        return false;
    text.remove_prefix(digits);
    return true;
}

} // namespace

std::string formatReport(const Report &report) {
    std::string line = report.done ? "done" : "working";
    line += " files " + std::to_string(report.filesDone) + '/' + std::to_string(report.filesTotal);
    line += " bytes " + std::to_string(report.bytesDone) + '/' + std::to_string(report.bytesTotal);
    line += " failed " + std::to_string(report.failed);
    if (!report.note.empty())
        line += " note " + report.note;
    return line + '\n';
}

// Only a line exactly as formatReport writes it is read: the lines come from a script that
// anyone may have changed.
std::optional<Report> parseReport(std::string_view line) {
    Report report;
    report.done = take(line, "done");
    if (!report.done && !take(line, "working"))
        return std::nullopt;
    if (!take(line, " files ") || !take(line, report.filesDone) || !take(line, "/") ||
        !take(line, report.filesTotal) || !take(line, " bytes ") || !take(line, report.bytesDone) ||
        !take(line, "/") || !take(line, report.bytesTotal) || !take(line, " failed ") ||
        !take(line, report.failed))
        return std::nullopt;
    if (line.empty())
        return report;
    if (!take(line, " note ") || line.empty())
        return std::nullopt;
    report.note = line;
    return report;
}

} // namespace zentil
