#include <platform/FileAccess.h>

#include <platform/ShiftJisText.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace nimbolt {

// Longer names are refused before any conversion.
static constexpr size_t MaxNameBytes = 4096;

std::string convertDocumentPath(std::string_view shiftJisPath)
{
    std::string bytes(shiftJisPath);
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<uint8_t>(bytes[i]);
        if (isShiftJisLeadByte(byte) && i + 1 < bytes.size())
            ++i;
        else if (byte == '\\')
            bytes[i] = '/';
    }
    QByteArray name = QFile::encodeName(ShiftJisText::decode(bytes.data(), static_cast<int32_t>(bytes.size())));
    return std::string(name.constData(), static_cast<size_t>(name.size()));
}

static bool exists(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

static bool equalIgnoringAsciiCase(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char16_t>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char16_t>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::optional<std::string> resolveDocumentPath(std::string_view shiftJisPath)
{
    if (shiftJisPath.empty() || shiftJisPath.size() > MaxNameBytes
        || shiftJisPath.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string exact = convertDocumentPath(shiftJisPath);
    if (exists(exact))
        return exact;

    QString path = QFile::decodeName(QByteArray::fromStdString(exact));
    bool absolute = path.startsWith('/');
    QStringList components = path.split('/', Qt::SkipEmptyParts);
    QString found = absolute ? QStringLiteral("/") : QString();
    for (const QString& component : components) {
        QString folder = found.isEmpty() ? QStringLiteral(".") : found;
        QString candidate = found.isEmpty() ? component : QDir(found).filePath(component);
        if (component == "." || component == ".." || QFileInfo::exists(candidate)) {
            found = candidate;
            continue;
        }
        QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDir::Name);
        auto match = std::find_if(entries.begin(), entries.end(),
            [&](const QString& entry) { return equalIgnoringAsciiCase(entry, component); });
        if (match == entries.end())
            return std::nullopt;
        found = found.isEmpty() ? *match : QDir(found).filePath(*match);
    }
    QByteArray name = QFile::encodeName(found);
    return std::string(name.constData(), static_cast<size_t>(name.size()));
}

std::FILE* openFileForReading(std::string_view shiftJisPath)
{
    std::optional<std::string> path = resolveDocumentPath(shiftJisPath);
    if (!path)
        return nullptr;
    std::FILE* file = std::fopen(path->c_str(), "rb");
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
