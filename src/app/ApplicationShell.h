// The program's hidden centre: it owns the window system, the tray icon with its menu and the one
// Document, loads the start document, opens further documents chosen in the open dialog and
// ends the program from the menu. Documents' right clicks show the same menu.
#pragma once

#include <document/Document.h>
#include <desktop/QtWindowSystem.h>

#include <QMenu>
#include <QString>
#include <QSystemTrayIcon>
#include <memory>

class QMessageBox;

namespace nimbolt {

class ApplicationShell {
public:
    ApplicationShell();
    // Shuts the document down (its windows go with it) before the tray icon and the menu.
    ~ApplicationShell();
    ApplicationShell(const ApplicationShell&) = delete;
    ApplicationShell& operator=(const ApplicationShell&) = delete;

    // Replaces the shown document by the file (a path of the file system).
    void loadDocument(const QString& path);
    // Loads the start document; when there is none at path, the program runs on with its tray
    // icon and a box that names the path.
    void loadStartDocument(const QString& path);

private:
    void chooseDocument();
    // Shows the document again: its window, or a new load when it has none left.
    void showDocument();
    void exitProgram();

    QtWindowSystem m_system;
    SystemTimeSource m_time;
    QMenu m_menu;
    QSystemTrayIcon m_tray;
    RefPtr<Document> m_document;
    bool m_choosing { false };
    QString m_documentPath;
    std::unique_ptr<QMessageBox> m_missingStart;
};

}
