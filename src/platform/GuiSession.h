// The process's GUI application, for programs that draw text or open windows: fonts exist only
// while one is alive. Create one on the main thread before drawing and keep it for the program's
// life; there is at most one at a time.
#pragma once

#include <memory>

namespace nimbolt {

enum class GuiDisplay {
    Desktop, // the display the environment names
    None, // no display at all: fonts and pictures only
};

class GuiSession {
public:
    // argc and argv must outlive the session (the application keeps references to them). Number
    // texts stay in the C locale whatever the environment says.
    GuiSession(int& argc, char** argv, GuiDisplay display = GuiDisplay::Desktop);
    ~GuiSession();
    GuiSession(const GuiSession&) = delete;
    GuiSession& operator=(const GuiSession&) = delete;

private:
    struct Application;
    std::unique_ptr<Application> m_application;
};

}
