// What the program remembers between runs, in one file: $XDG_CONFIG_HOME/nimbolt/nimbolt.conf
// (~/.config when the variable is unset). The file is read once at start into these fields, which
// are the truth from then on; save() writes them all back. A file that cannot be read or parsed
// gives the defaults, a value out of range its own default; a file that cannot be written leaves
// the state in memory. Problems are reported once per run on standard error and never stop the
// program.
#pragma once

#include <desktop/QtWindowSystem.h>
#include <platform/Rect.h>

#include <QString>
#include <optional>
#include <vector>

namespace nimbolt {

class Settings {
public:
    // The most documents whose window positions are kept; the least recently moved goes first.
    static constexpr int MaximumPositions = 64;

    Settings();

    const QString& fileName() const { return m_fileName; }

    // The last document that was shown (an absolute path), or empty.
    const QString& lastDocument() const { return m_lastDocument; }
    void setLastDocument(const QString& path) { m_lastDocument = path; }

    // Where the user last put the window of the document (an absolute path).
    std::optional<Point> windowPosition(const QString& document) const;
    void setWindowPosition(const QString& document, Point position);

    const DesktopWindowOptions& windowOptions() const { return m_windowOptions; }
    void setWindowOptions(const DesktopWindowOptions& options) { m_windowOptions = options; }

    // Writes everything to the file.
    void save();

private:
    struct WindowPosition {
        QString document;
        Point position;
    };

    void read();
    void complain(const char* problem);

    QString m_fileName;
    QString m_lastDocument;
    std::vector<WindowPosition> m_positions;
    DesktopWindowOptions m_windowOptions;
    bool m_complained { false };
};

}
