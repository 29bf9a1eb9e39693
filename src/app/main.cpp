// nimbolt: shows a document on the desktop (the one named on the command line, else the one shown
// last, else clock.dat/start.nbm from beside the executable), with a tray icon to open other
// documents, to choose how its window sits on the desktop and to quit. One program runs per user
// and display: a later start hands its document over to it and ends.
#include <app/ApplicationShell.h>
#include <app/CommandLine.h>
#include <app/Settings.h>
#include <app/SingleInstance.h>
#include <app/StartDocument.h>
#include <base/Trace.h>
#include <desktop/DisplayCheck.h>
#include <desktop/QtWindowSystem.h>

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>

#ifndef NIMBOLT_DATA_FOLDER
#define NIMBOLT_DATA_FOLDER ""
#endif
#ifndef NIMBOLT_VERSION
#define NIMBOLT_VERSION "unknown"
#endif

namespace {

// Settings for Qt that must be made before the application exists. Each one is the program's
// default only: a user's own setting is kept. Children started through the desktop's opener get
// the environment as it was (restoreEnvironment).
struct EnvironmentDefaults {
    bool platformSet { false };
    bool sharedMemorySet { false };

    void apply()
    {
        // Windows are placed by the program: X11 where both it and Wayland are there.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "xcb;wayland");
            platformSet = true;
        }
        // Repaints travel to the X server over the connection instead of through shared memory.
        // A clock's tick repaints a few small rectangles, and the shared-memory path makes every
        // repaint wait for a round trip to the server: three wakeups a tick instead of one.
        if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
            qputenv("QT_XCB_NO_MITSHM", "1");
            sharedMemorySet = true;
        }
        // Qt's desktop-specific themes load whole toolkits (GTK alone takes some 70 MB); the
        // program shows only a menu, message boxes and one dialog, which need none.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORMTHEME"))
            QGuiApplication::setDesktopSettingsAware(false);
        QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    }

    void restoreEnvironment() const
    {
        if (platformSet)
            qunsetenv("QT_QPA_PLATFORM");
        if (sharedMemorySet)
            qunsetenv("QT_XCB_NO_MITSHM");
    }
};

// For the start-up benchmark: with NIMBOLT_EXIT_AFTER_FIRST_PAINT set, the end of the first
// paint prints "first-frame MONOTONIC CPU" (seconds on the system's monotonic clock, and the
// processor time of the whole process so far) and ends the program at once.
void exitAfterFirstPaint()
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

// Qt's own texts (the buttons of boxes, the file dialog) in the user's language, from Qt's
// translations; without them for the language, Qt's English.
void installQtTranslations(QTranslator& translator)
{
    if (translator.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

// The document shown at start: the one named on the command line, else the last one shown while
// it is still there, else the bundled start document.
std::string startDocument(const nimbolt::CommandLine& line, const nimbolt::Settings& settings)
{
    if (!line.document.empty())
        return line.document;
    QByteArray last = QFile::encodeName(settings.lastDocument());
    if (!last.isEmpty() && std::filesystem::is_regular_file(last.toStdString()))
        return last.toStdString();
    QByteArray programFolder = QFile::encodeName(QCoreApplication::applicationDirPath());
    // An installed program looks for its data beside its own folder first, so that an
    // installation into another prefix than the configured one still finds it.
    std::string start = nimbolt::startDocumentPath(
        programFolder.toStdString(), programFolder.toStdString() + "/../" NIMBOLT_RELATIVE_DATA_FOLDER);
    if (!std::filesystem::exists(start))
        start = nimbolt::startDocumentPath(programFolder.toStdString(), NIMBOLT_DATA_FOLDER);
    return start;
}

}

int main(int argc, char** argv)
{
    // Echo and traces go out as they are written, for whoever watches the program's output.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    std::error_code noFolder;
    nimbolt::CommandLine line = nimbolt::parseCommandLine(argc, argv, std::filesystem::current_path(noFolder).string());
    switch (line.action) {
    case nimbolt::CommandLineAction::Help:
        std::fputs(nimbolt::CommandLineUsage, stdout);
        std::fputs(nimbolt::CommandLineHelp, stdout);
        return 0;
    case nimbolt::CommandLineAction::Version:
        std::printf("nimbolt %s\n", NIMBOLT_VERSION);
        return 0;
    case nimbolt::CommandLineAction::UsageError:
        std::fputs(nimbolt::CommandLineUsage, stderr);
        return 2;
    case nimbolt::CommandLineAction::Run:
        break;
    }
    // The traces of released objects are for whoever looks into a document's workings.
    if (!line.trace)
        nimbolt::setTraceSink(nullptr);

    EnvironmentDefaults defaults;
    defaults.apply();
    if (std::optional<std::string> problem = nimbolt::displayProblem()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    int applicationArgc = argc > 0 ? 1 : 0;
    QApplication application(applicationArgc, argv);
    defaults.restoreEnvironment();
    // The application takes the locale from the environment; "%f" texts need the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    QTranslator qtTranslator;
    installQtTranslations(qtTranslator);

    std::optional<nimbolt::ApplicationShell> shell;
    nimbolt::SingleInstance instance([&shell](const QByteArray& document) {
        if (!shell)
            return;
        if (document.isEmpty())
            shell->showCurrentDocument();
        else
            shell->loadDocument(QFile::decodeName(document));
    });
    switch (instance.claim(QByteArray::fromStdString(line.document))) {
    case nimbolt::SingleInstance::Role::HandedOver:
        return 0;
    case nimbolt::SingleInstance::Role::Alone:
        std::fprintf(stderr, "nimbolt: cannot listen on %s; a later start runs beside this program\n",
            qPrintable(nimbolt::SingleInstance::socketPath()));
        break;
    case nimbolt::SingleInstance::Role::First:
        break;
    }
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        std::fprintf(stderr, "nimbolt: running on Wayland, where the compositor decides window positions\n");

    if (qEnvironmentVariableIsSet("NIMBOLT_EXIT_AFTER_FIRST_PAINT"))
        nimbolt::QtWindowSystem::setFirstPaintObserver(exitAfterFirstPaint);

    nimbolt::Settings settings;
    // The shell writes the settings as it goes; it ends (below) before they do.
    shell.emplace(settings);
    std::string start = startDocument(line, settings);
    // The start document runs its scripts inside the event loop, so that a Shell.exit or a quit
    // chosen while one of its boxes is open ends the loop.
    QTimer::singleShot(0, [&shell, &start] { shell->loadStartDocument(QFile::decodeName(start.c_str())); });
    QApplication::exec();
    shell.reset();
    return 0;
}
