// What the desktop's opener is handed for a document's Shell.run target: addresses (a scheme of
// two or more letters, digits, "+", "-" and ".", starting with a letter) as they are, file names
// as files found from the current directory (the document's folder), else converted from Shift-JIS.
#include <desktop/DesktopTarget.h>
#include <desktop/QtWindowSystem.h>

#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class OpenedUrls final : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void open(const QUrl& url) { urls.push_back(url); }
    std::vector<QUrl> urls;
};

}

TEST(DesktopOpener, AddressesNameTheirScheme)
{
    for (const char* address : { "https://example.org/a?b=c", "svn+ssh://host/repo", "x-my.scheme:thing",
             "z39.50r://host/db", "Zz:letters at both ends of the alphabet", "aZ:x", "Ab:x" })
        EXPECT_EQ(nimbolt::desktopTargetKind(address), nimbolt::DesktopTargetKind::Address) << address;
    for (const char* name : { "readme.txt", "C:\\clock\\readme.txt", "1http://x", "my file:1.txt", ":leading",
             "", "\x93\xfa:\x96\x7b", "a@b:c", "[ab:c", "{ab:c", "a[b:c" })
        EXPECT_EQ(nimbolt::desktopTargetKind(name), nimbolt::DesktopTargetKind::FileName) << name;
}

TEST(DesktopOpener, AddressesGoAsTheyAreAndFileNamesAsAbsoluteFiles)
{
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/nimbolt-opener-XXXXXX";
    fs::path folder = fs::canonical(mkdtemp(pattern));
    std::ofstream(folder / "Read Me.TXT").put('\n');
    fs::path previous = fs::current_path();
    fs::current_path(folder);

    OpenedUrls opened;
    for (const char* scheme : { "file", "https" })
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &opened, "open");
    nimbolt::QtWindowSystem system;
    auto inFolder = [&](const char* name) { return QUrl::fromLocalFile(QString::fromUtf8((folder / name).string().c_str())); };

    struct Row {
        const char* target;
        QUrl expected;
    };
    const Row rows[] = {
        { "https://example.org/a?b=c", QUrl(QStringLiteral("https://example.org/a?b=c")) },
        { "read me.txt", inFolder("Read Me.TXT") },
        { "\x93\xfa\x96\x7b.txt", inFolder("\xE6\x97\xA5\xE6\x9C\xAC.txt") },
        { "file:///etc/hostname", QUrl(QStringLiteral("file:///etc/hostname")) },
        { "", QUrl() }, // nothing opens
    };
    for (const Row& row : rows) {
        opened.urls.clear();
        system.openWithDesktop(row.target);
        EXPECT_EQ(opened.urls, std::vector<QUrl>(!row.expected.isEmpty(), row.expected)) << row.target;
    }

    for (const char* scheme : { "file", "https" })
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    fs::current_path(previous);
    fs::remove_all(folder);
}

#include "DesktopOpenerTest.moc"
