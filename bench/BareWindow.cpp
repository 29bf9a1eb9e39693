// bare-window: the smallest Qt program that does what nimbolt does on the screen at start-up, a
// frameless 200 x 300 window showing one picture, as the yardstick of bench/startup.sh. With
// --text it also writes a time of day over the picture in a bold 14-pixel font, as the bundled
// clock does, and so pays for starting the font system as nimbolt does. With
// NIMBOLT_EXIT_AFTER_FIRST_PAINT set it prints "first-frame MONOTONIC CPU" at the end of its
// first paint and ends, exactly as nimbolt does.
// Usage: bare-window [--text] PICTURE
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>

namespace {

class PictureWindow final : public QWidget {
public:
    PictureWindow(const QImage& picture, bool withText)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
        , m_picture(picture)
        , m_withText(withText)
        , m_exitAfterFirstPaint(qEnvironmentVariableIsSet("NIMBOLT_EXIT_AFTER_FIRST_PAINT"))
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(200, 300);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        {
            QPainter painter(this);
            painter.fillRect(rect(), Qt::white);
            painter.drawImage(0, 0, m_picture);
            if (m_withText) {
                QFont font;
                font.setPixelSize(14);
                font.setBold(true);
                painter.setFont(font);
                painter.setPen(QColor(0x20, 0x3a, 0x6b));
                painter.drawText(51, 114, QStringLiteral("12:34:56"));
            }
        }
        if (m_exitAfterFirstPaint)
            reportAndExit();
    }

private:
    static void reportAndExit()
    {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        std::printf("first-frame %.6f %.6f\n", static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9, cpu);
        std::fflush(stdout);
        std::_Exit(0);
    }

    QImage m_picture;
    bool m_withText;
    bool m_exitAfterFirstPaint;
};

}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    int pictureArgument = withText ? 2 : 1;
    if (argc <= pictureArgument) {
        std::fprintf(stderr, "usage: bare-window [--text] PICTURE\n");
        return 2;
    }
    QImage picture(QString::fromLocal8Bit(argv[pictureArgument]));
    if (picture.isNull()) {
        std::fprintf(stderr, "bare-window: cannot read %s\n", argv[pictureArgument]);
        return 1;
    }
    PictureWindow window(picture, withText);
    window.show();
    return QApplication::exec();
}
