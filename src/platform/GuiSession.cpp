#include <platform/GuiSession.h>

#include <QGuiApplication>
#include <clocale>

namespace nimbolt {

struct GuiSession::Application {
    Application(int& argc, char** argv)
        : application(argc, argv)
    {
    }
    QGuiApplication application;
};

// Without a display the program's standard error belongs to the program alone: Qt's own notes
// about its environment are dropped.
static void dropQtMessage(QtMsgType, const QMessageLogContext&, const QString&) { }

static int& prepared(int& argc, GuiDisplay display)
{
    if (display == GuiDisplay::None) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(dropQtMessage);
    }
    return argc;
}

GuiSession::GuiSession(int& argc, char** argv, GuiDisplay display)
    : m_application(std::make_unique<Application>(prepared(argc, display), argv))
{
    // The application takes the locale from the environment; "%f" texts need the decimal point.
    std::setlocale(LC_NUMERIC, "C");
}

GuiSession::~GuiSession() = default;

}
