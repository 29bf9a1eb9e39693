// The start document comes from beside the program, else from the installed data folder.
#include <app/StartDocument.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Folders {
    Folders()
    {
        char pattern[] = "/tmp/nimbolt-start-XXXXXX";
        root = fs::path(mkdtemp(pattern));
        fs::create_directories(root / "bin");
        fs::create_directories(root / "share");
    }
    ~Folders() { fs::remove_all(root); }

    void place(const fs::path& folder)
    {
        fs::create_directories(folder / "clock.dat");
        std::ofstream(folder / "clock.dat" / "start.nbm") << "<nbml></nbml>";
    }

    fs::path root;
};

}

TEST(StartDocument, ChoosesTheFirstFolderThatHasOne)
{
    struct Row {
        const char* what;
        bool besideProgram, inData, dataGiven;
        const char* expected; // below the test folder
    };
    const Row rows[] = {
        { "beside the program wins over the data folder", true, true, true, "bin/clock.dat/start.nbm" },
        { "beside the program alone", true, false, true, "bin/clock.dat/start.nbm" },
        { "the installed data folder when none is beside", false, true, true, "share/clock.dat/start.nbm" },
        { "nowhere: the name beside the program", false, false, true, "bin/clock.dat/start.nbm" },
        { "no data folder compiled in", false, true, false, "bin/clock.dat/start.nbm" },
    };
    for (const Row& row : rows) {
        Folders folders;
        if (row.besideProgram)
            folders.place(folders.root / "bin");
        if (row.inData)
            folders.place(folders.root / "share");
        std::string data = row.dataGiven ? (folders.root / "share").string() : std::string();
        EXPECT_EQ(nimbolt::startDocumentPath((folders.root / "bin").string(), data),
            (folders.root / row.expected).string())
            << row.what;
    }

    Folders folders;
    fs::create_directories(folders.root / "bin" / "clock.dat" / "start.nbm");
    folders.place(folders.root / "share");
    EXPECT_EQ(nimbolt::startDocumentPath((folders.root / "bin").string() + "/", (folders.root / "share").string()),
        (folders.root / "share" / "clock.dat" / "start.nbm").string())
        << "a folder named like the document is not it";
}
