#include <platform/GuiSession.h>

#include <QGuiApplication>

namespace nimbolt {

struct GuiSession::Application {
    Application(int& argc, char** argv)
        : application(argc, argv)
    {
    }
    QGuiApplication application;
};

GuiSession::GuiSession(int& argc, char** argv)
    : m_application(std::make_unique<Application>(argc, argv))
{
}

GuiSession::~GuiSession() = default;

}
