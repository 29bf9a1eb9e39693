// Checks pixels of PNG files. "png-probe PICTURE.png PROBES" checks the pixels a probe file lists:
// each line is "size W H" or "X Y RRGGBBAA"; "#" starts a comment. Prints every mismatch and
// exits with 1 when there was one. "png-probe --same A.png B.png" compares two pictures pixel for
// pixel (red, green, blue and alpha) and names the first pixel, in reading order, that differs.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

QImage readPicture(const char* path)
{
    QImage image(QString::fromLocal8Bit(path));
    if (image.isNull())
        std::fprintf(stderr, "png-probe: cannot read %s\n", path);
    return image.convertToFormat(QImage::Format_RGBA8888);
}

std::string pixelText(const QImage& image, int x, int y)
{
    const uchar* p = image.constScanLine(y) + x * 4;
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", p[0], p[1], p[2], p[3]);
    return text;
}

int comparePictures(const char* first, const char* second)
{
    QImage a = readPicture(first), b = readPicture(second);
    if (a.isNull() || b.isNull())
        return 1;
    if (a.size() != b.size()) {
        std::fprintf(stderr, "%s is %dx%d, %s is %dx%d\n", first, a.width(), a.height(), second, b.width(),
            b.height());
        return 1;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            std::string left = pixelText(a, x, y), right = pixelText(b, x, y);
            if (left != right) {
                std::fprintf(stderr, "(%d, %d) is %s in %s and %s in %s\n", x, y, left.c_str(), first, right.c_str(),
                    second);
                return 1;
            }
        }
    }
    return 0;
}

int checkProbes(const char* picture, const char* probeFile)
{
    QImage image = readPicture(picture);
    if (image.isNull())
        return 1;
    std::ifstream probes(probeFile);
    std::string line, expected;
    int failures = 0;
    while (std::getline(probes, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line.rfind("size ", 0) == 0 ? line.substr(5) : line);
        int x = 0, y = 0;
        words >> x >> y >> expected;
        if (line.rfind("size ", 0) == 0) {
            if (image.width() != x || image.height() != y) {
                std::fprintf(stderr, "size %dx%d, expected %dx%d\n", image.width(), image.height(), x, y);
                ++failures;
            }
            continue;
        }
        if (!image.rect().contains(x, y)) {
            std::fprintf(stderr, "(%d, %d) lies outside the picture\n", x, y);
            ++failures;
        } else if (std::string actual = pixelText(image, x, y); actual != expected) {
            std::fprintf(stderr, "(%d, %d) is %s, expected %s\n", x, y, actual.c_str(), expected.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--same")
        return comparePictures(argv[2], argv[3]);
    if (argc != 3 || argv[1][0] == '-') {
        std::fputs("usage: png-probe PICTURE.png PROBES\n       png-probe --same A.png B.png\n", stderr);
        return 2;
    }
    return checkProbes(argv[1], argv[2]);
}
