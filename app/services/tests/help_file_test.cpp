// Which help the program opens: the CHM file with a viewer for it, else the HTML pages.
#include <gtest/gtest.h>

#include <string>

#include "services/help_file.h"
#include "test_support.h"

using name_share::DesktopHasHandlerFor;
using name_share::HelpFileToOpen;
using testing_support::TempDir;

TEST(HelpFile, ChmWithAViewerElseHtml) {
    struct Case {
        const char* name;
        bool chm;
        bool html;
        bool viewer;
        const char* expected;
    };
    const Case cases[] = {
        {"both, viewer", true, true, true, "help.chm"},
        {"both, no viewer", true, true, false, "help/index.html"},
        {"chm only, no viewer", true, false, false, "help.chm"},
        {"html only, viewer", false, true, true, "help/index.html"},
        {"nothing", false, false, true, "help.chm"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.chm) dir.Write("help.chm", "ITSF");
        if (c.html) dir.Write("help/index.html", "<html/>");
        EXPECT_EQ(HelpFileToOpen(dir.Path(), c.viewer), dir.Path() + c.expected) << c.name;
    }
}

TEST(HelpFile, ViewerFoundByTheMimeTypesOfDesktopFiles) {
    TempDir user, system;
    user.Write("applications/editor.desktop", "[Desktop Entry]\nName=Editor\nMimeType=text/plain;\n");
    system.Write("applications/kde/other.desktop",
                 "[Desktop Action x]\nMimeType=application/vnd.ms-htmlhelp;\n"
                 "[Desktop Entry]\nName=Other\nMimeType=text/html;\n");
    const std::vector<std::string> dirs{user.Path(), system.Path()};
    // Only the [Desktop Entry] group counts, and whole entries only.
    EXPECT_FALSE(DesktopHasHandlerFor("application/vnd.ms-htmlhelp", dirs));
    EXPECT_FALSE(DesktopHasHandlerFor("text/htm", dirs));
    EXPECT_TRUE(DesktopHasHandlerFor("text/html", dirs));
    system.Write("applications/kde/chm.desktop",
                 "[Desktop Entry]\nName=Viewer\nMimeType=application/x-chm;application/vnd.ms-htmlhelp\n");
    EXPECT_TRUE(DesktopHasHandlerFor("application/vnd.ms-htmlhelp", dirs));
    EXPECT_FALSE(DesktopHasHandlerFor("application/vnd.ms-htmlhelp", {user.Path()}));
}
