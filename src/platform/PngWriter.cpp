#include <platform/PngWriter.h>

#include <QFile>
#include <QImage>

namespace nimbolt {

bool writeRgbaPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgba)
{
    if (width <= 0 || height <= 0 || rgba.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
        return false;
    QImage image(rgba.data(), width, height, width * 4, QImage::Format_RGBA8888);
    return image.save(QFile::decodeName(QByteArray::fromStdString(path)), "PNG");
}

}
