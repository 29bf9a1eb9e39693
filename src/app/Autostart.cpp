#include <app/Autostart.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace nimbolt {

QString autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/nimbolt.desktop");
}

bool isAutostartEnabled()
{
    return QFileInfo::exists(autostartEntryPath());
}

// A program name as one argument of an Exec line: quoted, with the characters that quoting
// leaves special escaped, and a percent sign doubled.
static QString execArgument(const QString& program)
{
    QString quoted;
    for (QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QStringLiteral("\\\\");
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool setAutostartEnabled(bool enabled, const QString& program)
{
    QString path = autostartEntryPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Nimbolt\n"
                                   "Comment=Desktop clock and mascot\n"
                                   "Exec=%1\n"
                                   "Icon=nimbolt\n"
                                   "Terminal=false\n"
                                   "X-GNOME-Autostart-enabled=true\n")
                        .arg(execArgument(program));
    file.write(entry.toUtf8());
    return file.commit();
}

}
