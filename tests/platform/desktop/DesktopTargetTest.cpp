#include <platform/desktop/DesktopTarget.h>

#include <gtest/gtest.h>

using nimbolt::DesktopTargetKind;

TEST(DesktopTarget, AddressesNameTheirScheme)
{
    struct Row {
        const char* text;
        DesktopTargetKind expected;
    };
    const Row rows[] = {
        { "https://example.org/a?b=c", DesktopTargetKind::Address },
        { "svn+ssh://host/repo", DesktopTargetKind::Address },
        { "x-my.scheme:thing", DesktopTargetKind::Address },
        { "z39.50r://host/db", DesktopTargetKind::Address },
        { "Zz:letters at both ends of the alphabet", DesktopTargetKind::Address },
        { "aZ:x", DesktopTargetKind::Address },
        { "Ab:x", DesktopTargetKind::Address },
        { "readme.txt", DesktopTargetKind::FileName },
        { "C:\\clock\\readme.txt", DesktopTargetKind::FileName },
        { "1http://x", DesktopTargetKind::FileName },
        { "my file:1.txt", DesktopTargetKind::FileName },
        { ":leading", DesktopTargetKind::FileName },
        { "", DesktopTargetKind::FileName },
        { "\x93\xfa:\x96\x7b", DesktopTargetKind::FileName },
        { "a@b:c", DesktopTargetKind::FileName },
        { "[ab:c", DesktopTargetKind::FileName },
        { "{ab:c", DesktopTargetKind::FileName },
        { "a[b:c", DesktopTargetKind::FileName },
    };
    for (const Row& row : rows)
        EXPECT_EQ(nimbolt::desktopTargetKind(row.text), row.expected) << row.text;
}
