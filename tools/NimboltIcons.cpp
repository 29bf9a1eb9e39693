// nimbolt-icons FOLDER: draws the program's icon, the tray icon's clock face, into the icon theme
// layout FOLDER/SIZExSIZE/apps/nimbolt.png at the sizes desktops look for. Run by the build.
#include <desktop/TrayIconArt.h>

#include <QDir>
#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: nimbolt-icons FOLDER\n", stderr);
        return 2;
    }
    for (int side : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(side);
        if (!QDir().mkpath(folder) || !nimbolt::trayIconImage(side).save(folder + QStringLiteral("/nimbolt.png"))) {
            std::fprintf(stderr, "nimbolt-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
