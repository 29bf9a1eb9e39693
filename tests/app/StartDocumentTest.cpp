// The start document comes from beside the program, else from the installed data folder.
#include <app/StartDocument.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

TEST(StartDocument, ChoosesTheFirstFolderThatHasOne)
{
    struct Row {
        const char* what;
        const char* program; // the program's folder as handed over
        const char* present; // b: a document beside the program, s: one in the data folder, f: a folder beside
        bool dataGiven;
        const char* expected; // below the test folder
    };
    const Row rows[] = {
        { "beside the program wins over the data folder", "bin", "bs", true, "bin/clock.dat/start.nbm" },
        { "beside the program alone", "bin", "b", true, "bin/clock.dat/start.nbm" },
        { "the installed data folder when none is beside", "bin", "s", true, "share/clock.dat/start.nbm" },
        { "nowhere: the name beside the program", "bin/", "", true, "bin/clock.dat/start.nbm" },
        { "no data folder compiled in", "bin", "s", false, "bin/clock.dat/start.nbm" },
        { "a folder named like the document is not it", "bin/", "fs", true, "share/clock.dat/start.nbm" },
    };
    char pattern[] = "/tmp/nimbolt-start-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    for (const Row& row : rows) {
        fs::remove_all(root / "bin");
        fs::remove_all(root / "share");
        fs::create_directories(root / "bin" / "clock.dat");
        fs::create_directories(root / "share" / "clock.dat");
        for (const char* at = row.present; *at; ++at) {
            if (*at == 'f')
                fs::create_directory(root / "bin" / "clock.dat" / "start.nbm");
            else
                std::ofstream(root / (*at == 'b' ? "bin" : "share") / "clock.dat" / "start.nbm") << "<nbml></nbml>";
        }
        std::string data = row.dataGiven ? (root / "share").string() : std::string();
        EXPECT_EQ(nimbolt::startDocumentPath((root / row.program).string(), data), (root / row.expected).string())
            << row.what;
    }
    fs::remove_all(root);
}
