// The EDS store: folder scan, names, paths, identities and imports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "eds/eds_file.h"
#include "services/global.h"
#include "test_support.h"

using testing_support::TempDir;

namespace {

std::unique_ptr<CGlobal> MakeGlobal(const TempDir& dir) {
    dir.Write("Norvane.xml", testing_support::kNorvaneXml);
    dir.Write("config.xml", "<InfobarParas/>");
    return std::make_unique<CGlobal>(dir.Path());
}

}  // namespace

TEST(EdsStore, FolderScan) {
    TempDir dir;
    dir.Write("edsfile/B.eds", "[Device]\n");
    dir.Write("edsfile/A.eds", "[Device]\n");
    dir.Write("edsfile/Upper.EDS", "[Device]\n");
    dir.Write("edsfile/notes.txt", "x");
    dir.Write("edsfile/sub.eds/inner.eds", "x");  // a folder, not a file
    auto global = MakeGlobal(dir);
    EXPECT_EQ(global->EdsNames(), (std::vector<std::string>{"Not Use EDS File", "A", "B", "Upper"}));
    EXPECT_EQ(global->ScanEdsFolder(), 4);
    EXPECT_EQ(global->GetEdsPath("A"), dir.Path() + "edsfile/A.eds");
    EXPECT_EQ(global->GetEdsPath("Upper"), dir.Path() + "edsfile/Upper.EDS");
    EXPECT_EQ(global->GetEdsPath("Gone"), dir.Path() + "edsfile/Gone.eds");  // not checked
}

TEST(EdsStore, StandsOnItsOwnWithoutSettings) {
    TempDir dir;
    dir.Write("edsfile/b.EDS", "[Device]\n");
    EdsStore store(dir.Path());
    EXPECT_EQ(store.Folder(), dir.Path() + "edsfile/");
    EXPECT_TRUE(store.Names().empty()) << "nothing is listed before the scan";
    EXPECT_EQ(store.Scan(), 2);
    EXPECT_EQ(store.Names(), (std::vector<std::string>{EdsStore::kNoEdsName, "b"}));
    EXPECT_EQ(store.Path("b"), dir.Path() + "edsfile/b.EDS");
    for (const char* path : {"", "/some/folder/", "/some/folder/.."}) {
        EdsStore::ImportResult result = store.Import(path);
        EXPECT_EQ(result.position, -1) << path;
        EXPECT_FALSE(result.copied) << path;
    }
    EXPECT_EQ(store.Names().size(), 2u) << "a path that names no file lists nothing";
}

TEST(EdsStore, MissingFolderGivesThePlaceholder) {
    TempDir dir;
    auto global = MakeGlobal(dir);
    EXPECT_EQ(global->EdsNames(), (std::vector<std::string>{"Not Use EDS File"}));
}

TEST(EdsStore, NamesAndRegisteredPaths) {
    TempDir dir;
    auto global = MakeGlobal(dir);
    EXPECT_EQ(global->AddEdsName("Drive"), 1);
    EXPECT_EQ(global->AddEdsName("Drive"), 2);
    global->RegisterEdsPath("Drive", "/elsewhere/Drive.eds");
    EXPECT_EQ(global->GetEdsPath("Drive"), "/elsewhere/Drive.eds");
    global->RegisterEdsPath("Drive", "/other/Drive.eds");
    EXPECT_EQ(global->GetEdsPath("Drive"), "/other/Drive.eds");
    EXPECT_EQ(global->GetEdsPath("Unregistered"), dir.Path() + "edsfile/Unregistered.eds");
}

TEST(EdsStore, ImportCopiesUnderItsOwnName) {
    TempDir dir;
    dir.Write("edsfile/A.eds", "old");
    auto global = MakeGlobal(dir);
    TempDir outside;
    const std::string source = outside.Write("A.eds", "[Device]\nVendCode = 5;\n");
    CGlobal::ImportResult r = global->ImportEdsFile(source);
    EXPECT_TRUE(r.copied);
    EXPECT_EQ(r.position, 2);
    EXPECT_EQ(global->EdsNames(), (std::vector<std::string>{"Not Use EDS File", "A", "A"}));
    EXPECT_EQ(dir.Read("edsfile/A.eds"), "[Device]\nVendCode = 5;\n");

    // Whatever the path looks like, the copy lands in the folder under the file's own name.
    const std::string tricky = outside.Write("sub/..evil.eds", "x");
    r = global->ImportEdsFile(outside.Path() + "sub/../sub/..evil.eds");
    EXPECT_TRUE(r.copied);
    EXPECT_TRUE(dir.Exists("edsfile/..evil.eds"));
    r = global->ImportEdsFile(outside.Path() + "sub/..");
    EXPECT_EQ(r.position, -1);
    r = global->ImportEdsFile(outside.Path() + "sub/");
    EXPECT_EQ(r.position, -1);

    // A failed copy lists nothing: a listed name always has its file.
    const size_t listed = global->EdsNames().size();
    r = global->ImportEdsFile("/nonexistent/Lost.eds");
    EXPECT_FALSE(r.copied);
    EXPECT_EQ(r.position, -1);
    EXPECT_EQ(r.target, dir.Path() + "edsfile/Lost.eds");
    EXPECT_EQ(global->EdsNames().size(), listed);
    EXPECT_FALSE(dir.Exists("edsfile/Lost.eds.part"));
}

// An installed program's folder is read-only: the user's folder takes the imports, both folders
// are listed, and the user's file wins on equal names.
TEST(EdsStore, UserFolderBesideAReadOnlyProgramFolder) {
    struct Case {
        const char* name;
        bool programWritable;
        bool userWritable;
        bool hasUserFolder;
        const char* importedTo;  // "program", "user" or "" (the copy fails, nothing listed)
    };
    const Case cases[] = {
        {"writable program folder", true, true, true, "program"},
        {"installed program", false, true, true, "user"},
        {"installed, user folder unwritable", false, false, true, ""},
        {"installed, no user folder", false, false, false, ""},
    };
    for (const Case& c : cases) {
        TempDir program;
        TempDir user;
        program.Write("edsfile/Shared.eds", "program");
        program.Write("edsfile/Valve.eds", "program");
        user.Write("edsfile/Shared.EDS", "user");
        user.Write("edsfile/Mine.eds", "user");
        const std::string userDir = c.hasUserFolder ? user.Path() : std::string();
        auto canWrite = [&](const std::string& path) {
            if (path.rfind(program.Path(), 0) == 0) return c.programWritable;
            if (path.rfind(user.Path(), 0) == 0) return c.userWritable;
            return true;
        };
        EdsStore store(program.Path(), userDir, canWrite);
        store.Scan();
        const std::vector<std::string> expected =
            c.hasUserFolder ? std::vector<std::string>{"Not Use EDS File", "Mine", "Shared", "Valve"}
                            : std::vector<std::string>{"Not Use EDS File", "Shared", "Valve"};
        EXPECT_EQ(store.Names(), expected) << c.name;
        EXPECT_EQ(store.Path("Shared"),
                  c.hasUserFolder ? user.Path() + "edsfile/Shared.EDS" : program.Path() + "edsfile/Shared.eds")
            << c.name;
        EXPECT_EQ(store.Path("Valve"), program.Path() + "edsfile/Valve.eds") << c.name;

        TempDir outside;
        // A user folder that cannot be written is simulated by a file where its edsfile/ belongs.
        if (c.hasUserFolder && !c.userWritable) {
            std::filesystem::remove_all(user.Path() + "edsfile");
            user.Write("edsfile", "not a folder");
        }
        EdsStore::ImportResult r = store.Import(outside.Write("新 设备.eds", "[Device]\nVendCode = 5;\n"));
        const std::string where = c.importedTo;
        const std::string folder = where == "user" || (where.empty() && c.hasUserFolder) ? user.Path() + "edsfile/"
                                                                                         : program.Path() + "edsfile/";
        EXPECT_EQ(r.target, folder + "新 设备.eds") << c.name;
        if (where.empty()) {
            if (!c.hasUserFolder) continue;  // the program folder is only pretended read-only here
            EXPECT_FALSE(r.copied) << c.name;
            EXPECT_EQ(r.position, -1) << c.name;
            EXPECT_EQ(store.Names(), expected) << c.name << ": nothing listed";
            continue;
        }
        EXPECT_TRUE(r.copied) << c.name;
        EXPECT_EQ(store.Names().at(static_cast<size_t>(r.position)), "新 设备") << c.name;
        EXPECT_EQ(store.Path("新 设备"), folder + "新 设备.eds") << c.name;
        EXPECT_EQ(ReadEdsIdentity(store.Path("新 设备")).vendorCode, 5) << c.name;
    }
}

TEST(EdsStore, ImportIntoMissingFolder) {
    TempDir dir;
    auto global = MakeGlobal(dir);
    TempDir outside;
    CGlobal::ImportResult r = global->ImportEdsFile(outside.Write("New.eds", "[Device]\n"));
    EXPECT_TRUE(r.copied);
    EXPECT_TRUE(dir.Exists("edsfile/New.eds"));
}

TEST(EdsStore, ReadEdsIdentity) {
    TempDir dir;
    const std::string path = dir.Write("x.eds",
                                       "$ comment\n[File]\nVendCode = 9;\n[device]\n  VendCode = 283; $ vendor\n"
                                       "ProdType = 12;\nProdCode = 0x22;\n");
    EXPECT_EQ(ReadEdsIdentity(path), (EdsIdentity{283, 12, 0, 0}));
    EXPECT_EQ(ReadEdsIdentity(dir.Path() + "missing.eds"), EdsIdentity{});
}

TEST(EdsStore, IdentitiesOfTheSamples) {
    const char* samples = std::getenv("NORVANE_EDS_SAMPLES");
    const std::string path = samples ? std::string(samples) + "/HILSCHER NETX90 DN DNS.EDS" : "";
    if (path.empty() || !std::ifstream(path)) GTEST_SKIP() << "sample EDS files not available";
    EXPECT_EQ(ReadEdsIdentity(path), (EdsIdentity{283, 12, 62, 5}));
}

TEST(EdsStore, DemoIdentitiesAgreeWithTheReader) {
    // The quick identity read of the store and the full EDS reader must see the same device.
    const char* source = std::getenv("NORVANE_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(source) + "/resources/demo/eds", ec)) {
        if (entry.path().extension() == ".eds") paths.push_back(entry.path().string());
    }
    if (paths.empty()) GTEST_SKIP() << "no demo EDS files";
    for (const std::string& path : paths) {
        CEDSFile doc;
        ASSERT_EQ(doc.Load(path), 1) << path;
        const DeviceNetEDS::CDeviceInfo& d = doc.Device();
        EXPECT_EQ(ReadEdsIdentity(path), (EdsIdentity{d.VendCode(), d.ProdType(), d.ProdCode(), d.MajRev()})) << path;
    }
}
