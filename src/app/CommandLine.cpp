#include <app/CommandLine.h>

#include <string_view>

namespace nimbolt {

static std::string absoluteName(std::string_view name, const std::string& currentFolder)
{
    if (name.starts_with('/') || currentFolder.empty())
        return std::string(name);
    std::string path = currentFolder;
    if (path.back() != '/')
        path += '/';
    return path.append(name);
}

CommandLine parseCommandLine(int argc, const char* const* argv, const std::string& currentFolder)
{
    CommandLine line;
    bool optionsEnded = false;
    bool documentGiven = false;
    auto fail = [&line] {
        line.action = CommandLineAction::UsageError;
        return line;
    };
    for (int i = 1; i < argc; ++i) {
        std::string_view word = argv[i];
        if (!optionsEnded && word.starts_with('-') && word != "-") {
            if (word == "--")
                optionsEnded = true;
            else if (word == "--trace")
                line.trace = true;
            // Help and version win over whatever else is given, as long as it parses.
            else if (word == "--help" || word == "-h")
                line.action = CommandLineAction::Help;
            else if (word == "--version")
                line.action = line.action == CommandLineAction::Help ? line.action : CommandLineAction::Version;
            else
                return fail();
            continue;
        }
        if (documentGiven || word.empty())
            return fail();
        documentGiven = true;
        line.document = absoluteName(word, currentFolder);
    }
    return line;
}

}
