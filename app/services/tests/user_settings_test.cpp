// Settings the program writes: beside the program when its folder is writable, else in the
// user's configuration folder, which is then read first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "services/global.h"
#include "services/profile_file.h"
#include "services/program_dir.h"
#include "services/user_settings.h"
#include "resources/resource_manager.h"
#include "test_support.h"

using name_share::UserSettings;
using testing_support::TempDir;

namespace {

const char* kLanguageIni =
    "[LANGUAGES]\nCount=2\n0=2052|936|C|chinese.xml|中文\n1=1033|1252|C|english.xml|English\n\n[LAST]\nSel=0\n";

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) ::setenv(name_.c_str(), old_.c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

class UserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetResourceManager();
        program.Write("Norvane.xml", testing_support::kNorvaneXml);
        program.Write("config.xml", "<InfobarParas ShowMsg=\"0\"/>\n");
        program.Write("language/config.ini", kLanguageIni);
        program.Write("language/english.xml", "<?xml version=\"1.0\"?>\n<resource/>\n");
        program.Write("language/chinese.xml", "<?xml version=\"1.0\"?>\n<resource/>\n");
    }
    void TearDown() override {
        ::chmod(program.Path().c_str(), 0755);
        ::chmod((program.Path() + "language").c_str(), 0755);
        ResetResourceManager();
    }
    std::string UserDir() const { return user.Path() + "norvane/"; }

    TempDir program;
    TempDir user;
};

}  // namespace

TEST(UserSettingsDir, FromEnvironment) {
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/config", "/home/u", "/x/config/norvane/"},
        {"/x/config/", "/home/u", "/x/config/norvane/"},
        {nullptr, "/home/u", "/home/u/.config/norvane/"},
        {"", "/home/u", "/home/u/.config/norvane/"},
        {"relative/dir", "/home/u", "/home/u/.config/norvane/"},  // XDG paths must be absolute
        {nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(UserSettings::UserDirFromEnvironment(), c.expected) << (c.xdg ? c.xdg : "-");
    }
}

TEST_F(UserSettingsTest, WritableProgramFolderKeepsEverythingBesideTheProgram) {
    {
        CGlobal global(program.Path(), UserDir());
        EXPECT_EQ(global.Infobar().showMsg, 0);
        global.Infobar().selBaud = 2;
        EXPECT_EQ(global.SelectLanguage(1), 1);
    }
    EXPECT_NE(program.Read("config.xml").find("SelBaud=\"2\""), std::string::npos);
    EXPECT_NE(program.Read("language/config.ini").find("Sel=1"), std::string::npos);
    EXPECT_FALSE(user.Exists("norvane/config.xml"));
    EXPECT_FALSE(user.Exists("norvane/language/config.ini"));
}

TEST_F(UserSettingsTest, UserCopiesAreIgnoredWhileTheProgramFolderIsWritable) {
    // A build tree or a copied program folder keeps its own settings, whatever an installed
    // program left in the user's folder.
    user.Write("norvane/config.xml", "<InfobarParas ShowMsg=\"1\" LogLog=\"1\"/>\n");
    user.Write("norvane/language/config.ini", "[LAST]\nSel=1\n");
    {
        CGlobal global(program.Path(), UserDir());
        EXPECT_EQ(global.Infobar().showMsg, 0);
        EXPECT_EQ(global.Infobar().logLog, 0);
        EXPECT_EQ(global.CurrentLanguage(), 0);
    }
    EXPECT_EQ(user.Read("norvane/config.xml"), "<InfobarParas ShowMsg=\"1\" LogLog=\"1\"/>\n");
}

TEST(UserSettingsPaths, ProgramFolderWhenWritableElseTheUserFolder) {
    TempDir program, user;
    const std::string userDir = user.Path() + "norvane/";
    struct Case {
        const char* name;
        bool programWritable;
        bool userCopy;
        std::string read;
        std::string write;
    };
    const Case cases[] = {
        {"writable, no user copy", true, false, program.Path("config.xml"), program.Path("config.xml")},
        {"writable, user copy", true, true, program.Path("config.xml"), program.Path("config.xml")},
        {"read-only, no user copy", false, false, program.Path("config.xml"), userDir + "config.xml"},
        {"read-only, user copy", false, true, userDir + "config.xml", userDir + "config.xml"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(userDir);
        if (c.userCopy) user.Write("norvane/config.xml", "<InfobarParas/>");
        const UserSettings settings(program.Path(), userDir, [&](const std::string&) { return c.programWritable; });
        EXPECT_EQ(settings.ReadPath("config.xml"), c.read) << c.name;
        EXPECT_EQ(settings.WritePath("config.xml"), c.write) << c.name;
    }
    // Writing to the user's folder creates its folders on the way.
    std::filesystem::remove_all(userDir);
    const UserSettings readOnly(program.Path(), userDir, [](const std::string&) { return false; });
    EXPECT_EQ(readOnly.WritePath("language/config.ini"), userDir + "language/config.ini");
    EXPECT_TRUE(std::filesystem::is_directory(userDir + "language"));
    // Without a user folder everything stays beside the program.
    const UserSettings none(program.Path(), "", [](const std::string&) { return false; });
    EXPECT_EQ(none.WritePath("config.xml"), program.Path("config.xml"));
    EXPECT_EQ(none.ReadPath("config.xml"), program.Path("config.xml"));
}

TEST_F(UserSettingsTest, ReadOnlyProgramFolderSendsWritesToTheUserFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write into any folder";
    ASSERT_EQ(::chmod((program.Path() + "language").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(program.Path().c_str(), 0555), 0);
    {
        CGlobal global(program.Path(), UserDir());
        global.Infobar().selBaud = 1;
        EXPECT_EQ(global.SelectLanguage(1), 1);
    }
    EXPECT_NE(user.Read("norvane/config.xml").find("SelBaud=\"1\""), std::string::npos);
    EXPECT_NE(user.Read("norvane/language/config.ini").find("Sel=1"), std::string::npos);
    // Read back from there on the next start; the shipped defaults come along.
    ResetResourceManager();
    CGlobal again(program.Path(), UserDir());
    EXPECT_EQ(again.Infobar().showMsg, 0);
    EXPECT_EQ(again.Infobar().selBaud, 1);
    EXPECT_EQ(again.CurrentLanguage(), 1);
}

TEST(ProgramDir, FoundBesideTheProgramOrInItsInstalledPlace) {
    TempDir root;
    const std::string base = root.Path();
    // Nothing anywhere: the executable's folder.
    EXPECT_EQ(name_share::ProgramDirBeside(base + "bin"), base + "bin");
    root.Write("share/norvane/Norvane.xml", "<ServerInfo/>");
    EXPECT_EQ(name_share::ProgramDirBeside(base + "bin"), base + "share/norvane");
    // Settings beside the program win (the build tree).
    root.Write("bin/Norvane.xml", "<ServerInfo/>");
    EXPECT_EQ(name_share::ProgramDirBeside(base + "bin"), base + "bin");
}

// The window layout and recent files: one file in the user's configuration folder; a file at the
// place earlier versions used is moved there once.
TEST(UserProfile, LegacyFileIsMovedOnce) {
    struct Case {
        const char* name;
        bool legacy;  // a file at the old place
        bool current;  // a file at the new place
        bool otherInOld;  // another program's file beside the legacy one
        const char* kept;  // content of the new file afterwards
    };
    const Case cases[] = {
        {"first start after the update", true, false, false, "legacy"},
        {"already moved", true, true, false, "current"},
        {"nothing yet", false, false, false, ""},
        {"old folder shared with another program", true, false, true, "legacy"},
    };
    for (const Case& c : cases) {
        TempDir home;
        const std::string legacy = home.Path() + "Local AppWizard-Generated Applications/Norvane.conf";
        const std::string userDir = home.Path() + "norvane/";
        if (c.legacy) home.Write("Local AppWizard-Generated Applications/Norvane.conf", "legacy");
        if (c.otherInOld) home.Write("Local AppWizard-Generated Applications/Other.conf", "other");
        if (c.current) home.Write("norvane/Norvane.conf", "current");
        const std::string path = name_share::UserProfilePath(userDir, legacy);
        EXPECT_EQ(path, userDir + "Norvane.conf") << c.name;
        EXPECT_EQ(home.Exists("norvane/Norvane.conf") ? home.Read("norvane/Norvane.conf") : std::string(), c.kept)
            << c.name;
        EXPECT_EQ(home.Exists("Local AppWizard-Generated Applications/Norvane.conf"), c.legacy && c.current) << c.name;
        EXPECT_EQ(home.Exists("Local AppWizard-Generated Applications"), c.otherInOld || (c.legacy && c.current))
            << c.name;
        EXPECT_EQ(name_share::UserProfilePath(userDir, legacy), path) << c.name << ": the second call finds it";
    }
    EXPECT_EQ(name_share::UserProfilePath("", "/x/Norvane.conf"), "");

    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().c_str());
    EXPECT_EQ(name_share::LegacyProfilePath(), config.Path() + "Local AppWizard-Generated Applications/Norvane.conf");
    ScopedEnv data("XDG_DATA_HOME", config.Path().c_str());
    EXPECT_EQ(UserSettings::UserDataDirFromEnvironment(), config.Path() + "norvane/");
    ScopedEnv relative("XDG_DATA_HOME", "relative/data");
    ScopedEnv home("HOME", "/home/user");
    EXPECT_EQ(UserSettings::UserDataDirFromEnvironment(), "/home/user/.local/share/norvane/");
}
