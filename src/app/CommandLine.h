// The desktop program's command line: an optional document to show and the options --trace,
// --help and --version. A relative document name is made absolute against the folder the
// program was started in, since a running instance that takes the name over has another one.
#pragma once

#include <string>

namespace nimbolt {

enum class CommandLineAction {
    Run,
    Help,
    Version,
    UsageError, // an unknown option or a second document: the usage line on standard error, exit 2
};

struct CommandLine {
    CommandLineAction action { CommandLineAction::Run };
    // Absolute, or empty when none was given.
    std::string document;
    bool trace { false };
};

inline constexpr char CommandLineUsage[] = "usage: nimbolt [--trace] [DOCUMENT.nbm]\n"
                                           "       nimbolt --help | --version\n";

inline constexpr char CommandLineHelp[]
    = "Shows DOCUMENT.nbm on the desktop; without one, the document shown last, or the bundled clock.\n"
      "When the program already runs on this display, that one shows the document (or brings its\n"
      "window to the front) and this one ends.\n"
      "\n"
      "  --trace     write the traces of released objects on standard output\n"
      "  --help      show this help and end\n"
      "  --version   show the version and end\n";

// Reads argv[1..argc); currentFolder resolves a relative document name.
CommandLine parseCommandLine(int argc, const char* const* argv, const std::string& currentFolder);

}
