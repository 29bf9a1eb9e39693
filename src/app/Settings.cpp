#include <app/Settings.h>

#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>

namespace nimbolt {

static constexpr struct {
    WindowStacking stacking;
    const char* name;
} StackingNames[] = {
    { WindowStacking::Normal, "normal" },
    { WindowStacking::Above, "above" },
    { WindowStacking::Below, "below" },
};

Settings::Settings()
    : m_fileName(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/nimbolt/nimbolt.conf"))
{
    read();
}

void Settings::read()
{
    QSettings file(m_fileName, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        complain("cannot be read; starting with the defaults");
        return;
    }
    bool damaged = false;
    auto readInt = [&](const QString& key, int& out) {
        bool ok = false;
        int value = file.value(key).toInt(&ok);
        if (ok)
            out = value;
        damaged = damaged || !ok;
        return ok;
    };

    m_lastDocument = file.value(QStringLiteral("lastDocument")).toString();
    QString sticky = file.value(QStringLiteral("allWorkspaces"), QStringLiteral("true")).toString();
    if (sticky == QLatin1String("true") || sticky == QLatin1String("false"))
        m_windowOptions.allWorkspaces = sticky == QLatin1String("true");
    else
        damaged = true;
    QString stacking = file.value(QStringLiteral("stacking"), QStringLiteral("normal")).toString();
    auto named = std::find_if(std::begin(StackingNames), std::end(StackingNames),
        [&](const auto& row) { return stacking == QLatin1String(row.name); });
    if (named != std::end(StackingNames))
        m_windowOptions.stacking = named->stacking;
    else
        damaged = true;

    int count = std::min(file.beginReadArray(QStringLiteral("windows")), MaximumPositions);
    for (int i = 0; i < count; ++i) {
        file.setArrayIndex(i);
        WindowPosition entry { file.value(QStringLiteral("document")).toString(), {} };
        if (!readInt(QStringLiteral("x"), entry.position.x) || !readInt(QStringLiteral("y"), entry.position.y)
            || entry.document.isEmpty()) {
            damaged = true;
            continue;
        }
        m_positions.push_back(entry);
    }
    file.endArray();
    if (damaged)
        complain("holds values out of range; starting with the defaults for them");
}

std::optional<Point> Settings::windowPosition(const QString& document) const
{
    for (const WindowPosition& entry : m_positions) {
        if (entry.document == document)
            return entry.position;
    }
    return std::nullopt;
}

void Settings::setWindowPosition(const QString& document, Point position)
{
    std::erase_if(m_positions, [&](const WindowPosition& entry) { return entry.document == document; });
    if (m_positions.size() >= MaximumPositions)
        m_positions.erase(m_positions.begin());
    m_positions.push_back({ document, position });
}

void Settings::save()
{
    QSettings file(m_fileName, QSettings::IniFormat);
    file.clear();
    if (!m_lastDocument.isEmpty())
        file.setValue(QStringLiteral("lastDocument"), m_lastDocument);
    file.setValue(QStringLiteral("allWorkspaces"), m_windowOptions.allWorkspaces);
    for (const auto& row : StackingNames) {
        if (row.stacking == m_windowOptions.stacking)
            file.setValue(QStringLiteral("stacking"), QLatin1String(row.name));
    }
    file.beginWriteArray(QStringLiteral("windows"), static_cast<int>(m_positions.size()));
    for (size_t i = 0; i < m_positions.size(); ++i) {
        file.setArrayIndex(static_cast<int>(i));
        file.setValue(QStringLiteral("document"), m_positions[i].document);
        file.setValue(QStringLiteral("x"), m_positions[i].position.x);
        file.setValue(QStringLiteral("y"), m_positions[i].position.y);
    }
    file.endArray();
    file.sync();
    if (file.status() == QSettings::AccessError)
        complain("cannot be written; the settings last only until the program ends");
}

void Settings::complain(const char* problem)
{
    if (m_complained)
        return;
    m_complained = true;
    std::fprintf(stderr, "nimbolt: the settings file %s %s\n", qPrintable(m_fileName), problem);
}

}
