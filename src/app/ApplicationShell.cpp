#include <app/ApplicationShell.h>

#include <app/Autostart.h>
#include <app/WindowPlacement.h>
#include <desktop/TrayIconArt.h>

#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace nimbolt {

// Milliseconds a script run may take before it is stopped as running too long.
static constexpr int32_t ScriptRunLimit = 10000;
// Milliseconds between the last change and writing the settings.
static constexpr int SaveDelay = 500;

static const char OpenDialogTitle[] = "ファイルのロード";
static const char NbmlFilter[] = "NBML(*.nbm)";
static const char AllFilter[] = "All(*.*)";

static constexpr struct {
    WindowStacking stacking;
    const char* text;
} StackingItems[] = {
    { WindowStacking::Above, "常に手前(&T)" },
    { WindowStacking::Normal, "通常(&N)" },
    { WindowStacking::Below, "常に奥(&B)" },
};

ApplicationShell::ApplicationShell(Settings& settings)
    : m_settings(settings)
{
    m_system.setWindowOptions(m_settings.windowOptions());
    m_system.setDesktopEvents(this);
    m_system.setPopupMenu([this] { return &trayControls(); });
    m_system.whenFirstPainted([this] { QTimer::singleShot(0, &m_saveTimer, [this] { trayControls(); }); });

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(SaveDelay);
    QObject::connect(&m_saveTimer, &QTimer::timeout, &m_saveTimer, [this] { m_settings.save(); });

    m_document = Document::create(m_system, m_time);
    // A script that never returns is stopped after ten seconds; the program goes on.
    if (m_document)
        m_document->setRunLimit(ScriptRunLimit);
}

ApplicationShell::~ApplicationShell()
{
    m_system.setDesktopEvents(nullptr);
    m_missingStart.reset();
    if (m_document)
        m_document->shutdown();
    m_document = nullptr;
    m_system.setPopupMenu(nullptr);
    m_system.whenFirstPainted(nullptr);
    if (m_saveTimer.isActive())
        m_settings.save();
}

QMenu& ApplicationShell::trayControls()
{
    if (m_menu)
        return *m_menu;
    m_menu = std::make_unique<QMenu>();
    buildMenu();

    m_tray = std::make_unique<QSystemTrayIcon>(trayIconArt());
    m_tray->setToolTip(QStringLiteral("Nimbolt"));
    // The tray shows the menu on a right click by itself; a left click shows the document again
    // (its window may have been closed).
    m_tray->setContextMenu(m_menu.get());
    QObject::connect(m_tray.get(), &QSystemTrayIcon::activated, m_menu.get(), [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            showDocument();
    });
    m_tray->show();
    return *m_menu;
}

void ApplicationShell::buildMenu()
{
    QMenu& menu = *m_menu;
    menu.addAction(QString::fromUtf8("開く(&O)"), &menu, [this] { chooseDocument(); });
    menu.addSeparator();

    m_autostart = menu.addAction(QString::fromUtf8("ログイン時に起動(&L)"));
    m_autostart->setCheckable(true);
    QObject::connect(m_autostart, &QAction::triggered, &menu, [this](bool enabled) {
        if (!setAutostartEnabled(enabled, QCoreApplication::applicationFilePath()))
            std::fprintf(stderr, "nimbolt: cannot change %s\n", qPrintable(autostartEntryPath()));
    });
    // The entry is the setting; the user may have removed it by other means.
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [this] { m_autostart->setChecked(isAutostartEnabled()); });

    m_allWorkspaces = menu.addAction(QString::fromUtf8("すべてのワークスペース(&A)"));
    m_allWorkspaces->setCheckable(true);
    m_allWorkspaces->setChecked(m_settings.windowOptions().allWorkspaces);
    QObject::connect(m_allWorkspaces, &QAction::triggered, &menu, [this](bool all) {
        DesktopWindowOptions options = m_settings.windowOptions();
        options.allWorkspaces = all;
        changeWindowOptions(options);
    });

    menu.addSeparator();
    auto* stackingGroup = new QActionGroup(&menu);
    for (const auto& item : StackingItems) {
        QAction* action = menu.addAction(QString::fromUtf8(item.text));
        action->setCheckable(true);
        action->setChecked(m_settings.windowOptions().stacking == item.stacking);
        stackingGroup->addAction(action);
        WindowStacking stacking = item.stacking;
        QObject::connect(action, &QAction::triggered, &menu, [this, stacking] {
            DesktopWindowOptions options = m_settings.windowOptions();
            options.stacking = stacking;
            changeWindowOptions(options);
        });
    }

    menu.addSeparator();
    menu.addAction(QString::fromUtf8("終了(&X)"), &menu, [this] { exitProgram(); });
}

void ApplicationShell::loadDocument(const QString& path)
{
    if (!m_document)
        return;
    QString absolute = QFileInfo(path).absoluteFilePath();
    uint64_t load = ++m_loads;
    QString previous = m_shownDocument;
    m_shownDocument = absolute;
    QByteArray name = QFile::encodeName(absolute);
    RefPtr<Document> document = m_document;
    Status status = document->load(std::string(name.constData(), static_cast<size_t>(name.size())));
    if (load != m_loads)
        return;
    if (!status.ok()) {
        // A refused file leaves the document shown as it was; an unreadable one leaves nothing.
        if (QFileInfo(path).isReadable())
            m_shownDocument = previous;
        else {
            std::fprintf(stderr, "nimbolt: cannot read %s\n", name.constData());
            m_shownDocument.clear();
        }
        return;
    }
    m_lastLoaded = absolute;
    m_settings.setLastDocument(absolute);
    saveSoon();
    restoreWindowPosition(absolute);
}

void ApplicationShell::showCurrentDocument()
{
    showDocument();
    m_system.raiseWindows();
}

void ApplicationShell::restoreWindowPosition(const QString& document)
{
    std::optional<Point> remembered = m_settings.windowPosition(document);
    NativeWindow* window = m_document ? m_document->window() : nullptr;
    if (!remembered || !window)
        return;
    std::vector<Rect> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        QRect area = screen->geometry();
        screens.push_back({ area.left(), area.top(), area.left() + area.width(), area.top() + area.height() });
    }
    Point position = placeOnScreens(*remembered, window->outerSize(), screens);
    m_document->moveTo(position.x, position.y);
}

void ApplicationShell::changeWindowOptions(const DesktopWindowOptions& options)
{
    m_settings.setWindowOptions(options);
    m_system.setWindowOptions(options);
    m_settings.save();
}

void ApplicationShell::saveSoon()
{
    m_saveTimer.start();
}

void ApplicationShell::windowDragged(Point position)
{
    if (m_shownDocument.isEmpty())
        return;
    m_settings.setWindowPosition(m_shownDocument, position);
    saveSoon();
}

void ApplicationShell::fileDropped(const std::string& path)
{
    loadDocument(QFile::decodeName(path.c_str()));
}

void ApplicationShell::loadStartDocument(const QString& path)
{
    if (QFileInfo(path).exists()) {
        loadDocument(path);
        // Without a shown window there is no first paint to wait for.
        NativeWindow* window = m_document ? m_document->window() : nullptr;
        if (!window || !window->isVisible())
            trayControls();
        return;
    }
    trayControls();
    // Not modal: the tray's menu is how the user goes on from here.
    m_missingStart = std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("Nimbolt"),
        QStringLiteral("The start document was not found:\n%1\n\nOpen a document from the tray icon's menu.")
            .arg(QDir::toNativeSeparators(path)));
    m_missingStart->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_missingStart->setModal(false);
    m_missingStart->show();
}

void ApplicationShell::showDocument()
{
    if (!m_document || m_lastLoaded.isEmpty())
        return;
    if (NativeWindow* window = m_document->window(); window && m_document->root())
        window->setVisible(true);
    else
        loadDocument(m_lastLoaded);
}

void ApplicationShell::chooseDocument()
{
    if (m_choosing)
        return;
    m_choosing = true;
    QFileDialog dialog(nullptr, QString::fromUtf8(OpenDialogTitle));
    // Qt's own dialog on every desktop, so that "All(*.*)" can list every file.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setNameFilters({ QString::fromUtf8(NbmlFilter), QString::fromUtf8(AllFilter) });
    // Wide enough for the names, sizes, kinds and dates of the files side by side.
    QSize size(760, 480);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize());
    dialog.resize(size);
    // "All(*.*)" means every file, those without a dot in their name too; the dialog would read
    // the pattern literally, so the file list gets "*" once the dialog has taken the choice.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        if (filter != QString::fromUtf8(AllFilter))
            return;
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (auto* model = dialog.findChild<QFileSystemModel*>())
                model->setNameFilters({ QStringLiteral("*") });
        });
    });
    bool chosen = dialog.exec() == QDialog::Accepted;
    QStringList files = dialog.selectedFiles();
    m_choosing = false;
    if (chosen && !files.isEmpty())
        loadDocument(files.first());
}

void ApplicationShell::exitProgram()
{
    if (m_tray)
        m_tray->hide();
    QCoreApplication::exit(0);
}

}
