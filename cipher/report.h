#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What zentil tells about its run, one line at a time on its standard output, so that the program
// that started it can show how far it is and, after a run with failures, how many files failed:
//
//   working files 120/1000 bytes 5242880/1073741824 failed 0
//   done files 1000/1000 bytes 1073741824/1073741824 failed 2 note zentil-errors.txt
//
// "done" is the last line of a run that went through every file; after failures it names the note
// in the locker that lists them, when one could be written. Bytes are counted in the files as they
// lie on the disk before the run. The lines hold no secret and no name of the user's files.
namespace zentil {

struct Report {
    bool done = false;
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::uint64_t failed = 0;
    std::string note; // the note's name, on the last line of a run with failures
};

// One line, ending in a line break.
std::string formatReport(const Report &report);

// The report in a line without its line break; nothing for a line of another kind.
std::optional<Report> parseReport(std::string_view line);

} // namespace zentil
