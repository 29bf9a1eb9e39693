#include <app/StartDocument.h>

#include <sys/stat.h>

namespace nimbolt {

static std::string below(const std::string& folder, const char* name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

static bool isFile(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string startDocumentPath(const std::string& programFolder, const std::string& dataFolder)
{
    std::string beside = below(programFolder, StartDocumentName);
    if (isFile(beside) || dataFolder.empty())
        return beside;
    std::string installed = below(dataFolder, StartDocumentName);
    return isFile(installed) ? installed : beside;
}

}
