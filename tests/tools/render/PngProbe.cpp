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

const char Usage[] = "usage: png-probe PICTURE.png PROBES\n"
                     "       png-probe --same A.png B.png\n";

bool readPicture(const char* path, QImage& image)
{
    image = QImage(QString::fromLocal8Bit(path));
    if (image.isNull()) {
        std::fprintf(stderr, "png-probe: cannot read %s\n", path);
        return false;
    }
    image = image.convertToFormat(QImage::Format_RGBA8888);
    return true;
}

void pixelText(const QImage& image, int x, int y, char (&text)[9])
{
    const uchar* p = image.constScanLine(y) + x * 4;
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", p[0], p[1], p[2], p[3]);
}

int comparePictures(const char* first, const char* second)
{
    QImage a, b;
    if (!readPicture(first, a) || !readPicture(second, b))
        return 1;
    if (a.size() != b.size()) {
        std::fprintf(stderr, "%s is %dx%d, %s is %dx%d\n", first, a.width(), a.height(), second, b.width(),
            b.height());
        return 1;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            char left[9], right[9];
            pixelText(a, x, y, left);
            pixelText(b, x, y, right);
            if (std::string(left) != right) {
                std::fprintf(stderr, "(%d, %d) is %s in %s and %s in %s\n", x, y, left, first, right, second);
                return 1;
            }
        }
    }
    return 0;
}

int checkProbes(const char* picture, const char* probeFile)
{
    QImage image;
    if (!readPicture(picture, image))
        return 1;
    std::ifstream probes(probeFile);
    std::string line;
    int failures = 0;
    while (std::getline(probes, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "size") {
            int width = 0, height = 0;
            words >> width >> height;
            if (image.width() != width || image.height() != height) {
                std::fprintf(stderr, "size %dx%d, expected %dx%d\n", image.width(), image.height(), width, height);
                ++failures;
            }
            continue;
        }
        int x = std::stoi(first), y = 0;
        std::string expected;
        words >> y >> expected;
        if (!image.rect().contains(x, y)) {
            std::fprintf(stderr, "(%d, %d) lies outside the picture\n", x, y);
            ++failures;
            continue;
        }
        char actual[9];
        pixelText(image, x, y, actual);
        if (expected != actual) {
            std::fprintf(stderr, "(%d, %d) is %s, expected %s\n", x, y, actual, expected.c_str());
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
        std::fputs(Usage, stderr);
        return 2;
    }
    return checkProbes(argv[1], argv[2]);
}
