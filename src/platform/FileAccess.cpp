#include <platform/FileAccess.h>

#include <platform/ShiftJisText.h>

#include <QFile>
#include <sys/stat.h>

namespace nimbolt {

std::FILE* openFileForReading(std::string_view shiftJisPath)
{
    if (shiftJisPath.empty() || shiftJisPath.size() > 4096
        || shiftJisPath.find('\0') != std::string_view::npos)
        return nullptr;
    QByteArray name = QFile::encodeName(
        ShiftJisText::decode(shiftJisPath.data(), static_cast<int32_t>(shiftJisPath.size())));
    std::FILE* file = std::fopen(name.constData(), "rb");
    if (!file)
        return nullptr;
    // Only regular files: a directory opens for reading here but has nothing to read.
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

}
