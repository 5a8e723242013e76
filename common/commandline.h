#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>

// The options that each program answers before it starts its work: --help (or -h) prints the
// usage and --version the version, both to standard output; anything else that is not one of
// the program's own arguments prints the usage to standard error. Returns the exit code when
// the program is to end here (0, or 2 for a wrong command line), nothing when it is to go on.
// `accepted` lists the program's own arguments; a program that takes none, or whose arguments
// are optional, goes on without any.
enum class OwnArguments { Required, Optional };
std::optional<int> answerCommandLine(int argc, char **argv, std::string_view program,
                                     std::string_view usage,
                                     std::initializer_list<std::string_view> accepted = {},
                                     OwnArguments need = OwnArguments::Required);
