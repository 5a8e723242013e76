// The report lines that the window reads from zentil's pipe, on any bytes: a line is read only
// when it is exactly the line that zentil writes for what was read, and every report zentil can
// write reads back.
//
// Input: the line; its bytes also make the report that is written and read back.
#include "cipher/report.h"
#include "tests/fuzz/check.h"

#include <cstring>

namespace {

bool same(const zentil::Report &a, const zentil::Report &b) {
    return a.done == b.done && a.filesDone == b.filesDone && a.filesTotal == b.filesTotal &&
           a.bytesDone == b.bytesDone && a.bytesTotal == b.bytesTotal && a.failed == b.failed &&
           a.note == b.note;
}

// A report made of the input's bytes: five numbers, whether it is done, and a note that may hold
// any byte but a line break or zero.
zentil::Report reportFrom(std::string_view input) {
    zentil::Report report;
    std::uint64_t *numbers[] = {&report.filesDone, &report.filesTotal, &report.bytesDone,
                                &report.bytesTotal, &report.failed};
    for (std::uint64_t *number : numbers) {
        const std::size_t taken = std::min<std::size_t>(input.size(), sizeof *number);
        std::memcpy(number, input.data(), taken);
        input.remove_prefix(taken);
    }
    report.done = !input.empty() && (input.front() & 1);
    for (char c : input.substr(std::min<std::size_t>(input.size(), 1))) {
        if (c != '\n' && c != '\0')
            report.note += c;
    }
    return report;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    if (const auto report = zentil::parseReport(input))
        check(zentil::formatReport(*report) == std::string(input) + '\n',
              "a line is read only as zentil writes it");

    const zentil::Report report = reportFrom(input);
    const std::string line = zentil::formatReport(report);
    check(!line.empty() && line.back() == '\n', "a report is one line");
    const auto reread = zentil::parseReport(std::string_view(line).substr(0, line.size() - 1));
    check(reread && same(*reread, report), "a report reads back");
    return 0;
}
