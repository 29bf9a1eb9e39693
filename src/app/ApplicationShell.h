// The program's hidden centre: it owns the window system, the tray icon with its menu and the one
// Document, loads the start document, opens further documents chosen in the open dialog, dropped
// on a window or handed over by a later start, and ends the program from the menu. Documents'
// right clicks show the same menu, which also holds the options of how windows sit on the desktop
// and whether the program starts at login. It keeps the settings up to date: the last document
// shown, where the user left each document's window, the options. The tray icon and the menu are
// made once the start document's window has first painted (or at once when there is no window to
// wait for), or earlier when a document asks for the menu, so that the first picture waits for
// nothing only the user's later actions need.
#pragma once

#include <app/Settings.h>
#include <document/Document.h>
#include <desktop/QtWindowSystem.h>

#include <QMenu>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

class QMessageBox;

namespace nimbolt {

class ApplicationShell final : private DesktopEvents {
public:
    explicit ApplicationShell(Settings& settings);
    // Shuts the document down (its windows go with it) before the tray icon and the menu, and
    // writes the settings that were still waiting.
    ~ApplicationShell();
    ApplicationShell(const ApplicationShell&) = delete;
    ApplicationShell& operator=(const ApplicationShell&) = delete;

    // Replaces the shown document by the file (a path of the file system). Once its scripts have
    // run, its window goes where the user last left it; a file that was read is remembered as the
    // last document.
    void loadDocument(const QString& path);
    // Brings the shown document's window to the front.
    void showCurrentDocument();
    // Loads the start document; when there is none at path, the program runs on with its tray
    // icon and a box that names the path.
    void loadStartDocument(const QString& path);

private:
    // Makes the menu and shows the tray icon, the first time only; returns the menu.
    QMenu& trayControls();
    void buildMenu();
    void chooseDocument();
    // Shows the document again: its window, or a new load when it has none left.
    void showDocument();
    void exitProgram();
    void restoreWindowPosition(const QString& document);
    void changeWindowOptions(const DesktopWindowOptions& options);
    // Writes the settings after a short while, so that a drag writes once at its end.
    void saveSoon();

    void windowDragged(Point position) override;
    void fileDropped(const std::string& path) override;

    Settings& m_settings;
    QtWindowSystem m_system;
    SystemTimeSource m_time;
    // Both null until trayControls; the icon goes before the menu it shows.
    std::unique_ptr<QMenu> m_menu;
    QAction* m_autostart { nullptr };
    QAction* m_allWorkspaces { nullptr };
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QTimer m_saveTimer;
    RefPtr<Document> m_document;
    // The file the document shows (absolute), or empty.
    QString m_shownDocument;
    // Counts loads, so that a load that another one overtook while its scripts waited in a box
    // leaves the window alone.
    uint64_t m_loads { 0 };
    bool m_choosing { false };
    // The last file that loaded, shown again from the tray when its window is gone.
    QString m_lastLoaded;
    std::unique_ptr<QMessageBox> m_missingStart;
};

}
