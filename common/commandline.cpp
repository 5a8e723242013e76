#include "common/commandline.h"

#include <algorithm>
#include <cstdio>

namespace {

void printUsage(std::FILE *stream, std::string_view program, std::string_view usage) {
    std::fprintf(stream, "Usage: %.*s %.*s\n", int(program.size()), program.data(),
                 int(usage.size()), usage.data());
}

} // namespace

std::optional<int> answerCommandLine(int argc, char **argv, std::string_view program,
                                     std::string_view usage,
                                     std::initializer_list<std::string_view> accepted,
                                     OwnArguments need) {
    const bool takesNone = accepted.size() == 0;
    if (argc < 2 && (takesNone || need == OwnArguments::Optional))
        return std::nullopt;
    const std::string_view argument = argc == 2 ? argv[1] : std::string_view();
    if (argc == 2 && std::find(accepted.begin(), accepted.end(), argument) != accepted.end())
        return std::nullopt;
    if (argc == 2 && (argument == "--help" || argument == "-h")) {
        printUsage(stdout, program, usage);
        return 0;
    }
    if (argc == 2 && argument == "--version") {
        std::printf("%.*s %s\n", int(program.size()), program.data(), TARVOLEN_VERSION);
        return 0;
    }
    printUsage(stderr, program, usage);
    return 2;
}
