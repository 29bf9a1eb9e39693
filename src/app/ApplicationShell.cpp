#include <app/ApplicationShell.h>

#include <desktop/TrayIconArt.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTimer>

namespace nimbolt {

// Milliseconds a script run may take before it is stopped as running too long.
static constexpr int32_t ScriptRunLimit = 10000;

static const char OpenDialogTitle[] = "ファイルのロード";
static const char NbmlFilter[] = "NBML(*.nbm)";
static const char AllFilter[] = "All(*.*)";

ApplicationShell::ApplicationShell()
{
    m_menu.addAction(QString::fromUtf8("開く(&O)"), &m_menu, [this] { chooseDocument(); });
    m_menu.addSeparator();
    m_menu.addAction(QString::fromUtf8("終了(&X)"), &m_menu, [this] { exitProgram(); });
    m_system.setPopupMenu(&m_menu);

    m_tray.setIcon(trayIconArt());
    m_tray.setToolTip(QStringLiteral("Nimbolt"));
    // The tray shows the menu on a right click by itself; a left click shows the document again
    // (its window may have been closed).
    m_tray.setContextMenu(&m_menu);
    QObject::connect(&m_tray, &QSystemTrayIcon::activated, &m_menu, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            showDocument();
    });
    m_tray.show();

    m_document = Document::create(m_system, m_time);
    // A script that never returns is stopped after ten seconds; the program goes on.
    if (m_document)
        m_document->setRunLimit(ScriptRunLimit);
}

ApplicationShell::~ApplicationShell()
{
    m_missingStart.reset();
    if (m_document)
        m_document->shutdown();
    m_document = nullptr;
    m_system.setPopupMenu(nullptr);
}

void ApplicationShell::loadDocument(const QString& path)
{
    if (!m_document)
        return;
    QByteArray name = QFile::encodeName(path);
    RefPtr<Document> document = m_document;
    // A refused or unreadable file leaves the document to show again as it was.
    if (document->load(std::string(name.constData(), static_cast<size_t>(name.size()))).ok())
        m_documentPath = path;
}

void ApplicationShell::loadStartDocument(const QString& path)
{
    if (QFileInfo(path).exists()) {
        loadDocument(path);
        return;
    }
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
    if (!m_document || m_documentPath.isEmpty())
        return;
    if (NativeWindow* window = m_document->window(); window && m_document->root())
        window->setVisible(true);
    else
        loadDocument(m_documentPath);
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
    dialog.setNameFilters({ QString::fromUtf8(NbmlFilter), QString::fromUtf8(AllFilter) });
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
    m_tray.hide();
    QCoreApplication::exit(0);
}

}
