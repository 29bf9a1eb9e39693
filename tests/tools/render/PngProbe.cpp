// Checks pixels of a PNG file: each line of the probe file is "size W H" or "X Y RRGGBBAA";
// "#" starts a comment. Prints every mismatch and exits with 1 when there was one.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: png-probe PICTURE.png PROBES\n");
        return 2;
    }
    QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "png-probe: cannot read %s\n", argv[1]);
        return 1;
    }
    image = image.convertToFormat(QImage::Format_RGBA8888);
    std::ifstream probes(argv[2]);
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
        const uchar* p = image.constScanLine(y) + x * 4;
        char actual[9];
        std::snprintf(actual, sizeof actual, "%02x%02x%02x%02x", p[0], p[1], p[2], p[3]);
        if (expected != actual) {
            std::fprintf(stderr, "(%d, %d) is %s, expected %s\n", x, y, actual, expected.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
