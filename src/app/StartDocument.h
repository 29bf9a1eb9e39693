// Where the program finds the document it shows at start: clock.dat/start.nbm in the folder of
// its own executable; an installed program that has none there takes the one in its installed
// data folder.
#pragma once

#include <string>

namespace nimbolt {

inline constexpr char StartDocumentName[] = "clock.dat/start.nbm";

// The start document below programFolder when that file exists, else the one below dataFolder
// when that exists, else the name below programFolder (whose load then fails and leaves only the
// tray icon). An empty dataFolder is not looked at.
std::string startDocumentPath(const std::string& programFolder, const std::string& dataFolder);

}
