#include "platform/registry_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using platform::RegistryDocument;
using platform::RegType;

TEST(RegistryDocument, ReadsStringDwordAndExpandValues) {
    RegistryDocument doc;
    ASSERT_TRUE(
        doc.Parse("Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\r\n"
                  "\"DLL\"=\"/opt/lib/lib\\\"q\\\\.so\"\r\n"
                  "\"Count\"=dword:0000000a\r\n"
                  "\"Path\"=hex(2):41,00,\\\r\n  42,00\r\n"));
    const auto* key = doc.FindKey("software\\bramwell\\varda\\101");
    ASSERT_NE(key, nullptr);
    const auto* dll = key->FindValue("dll");
    ASSERT_NE(dll, nullptr);
    EXPECT_EQ(dll->type, RegType::Sz);
    std::string text(dll->data.begin(), dll->data.end());
    EXPECT_EQ(text, std::string("/opt/lib/lib\"q\\.so\0", 19));
    const auto* count = key->FindValue("Count");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->type, RegType::Dword);
    EXPECT_EQ(count->data, (std::vector<uint8_t>{10, 0, 0, 0}));
    const auto* path = key->FindValue("Path");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->type, RegType::ExpandSz);
    EXPECT_EQ(path->data, (std::vector<uint8_t>{0x41, 0, 0x42, 0}));
}

TEST(RegistryDocument, BadInputIsSkippedNotFatal) {
    struct Case {
        const char* name;
        const char* text;
        bool header;
        bool hasDll;
    };
    const Case cases[] = {
        {"missing header", "[HKEY_LOCAL_MACHINE\\A]\n\"DLL\"=\"x\"\n", false, false},
        {"REGEDIT4 header", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"DLL\"=\"x\"\n", true, true},
        {"garbage lines", "REGEDIT4\nzzz\n[HKEY_LOCAL_MACHINE\\A]\n!!\n\"DLL\"=\"x\"\n=\n", true, true},
        {"unterminated value", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"DLL\"=\"x\n", true, false},
        {"unterminated name", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"DLL=\"x\"\n", true, false},
        {"key without value", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", true, false},
        {"unclosed key line", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n\"DLL\"=\"x\"\n", true, false},
        {"other root", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"DLL\"=\"x\"\n", true, false},
        {"bad hex", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"DLL\"=hex(2):4g,00\n", true, false},
        {"empty", "", false, false},
    };
    for (const auto& c : cases) {
        RegistryDocument doc;
        EXPECT_EQ(doc.Parse(c.text), c.header) << c.name;
        const auto* key = doc.FindKey("A");
        EXPECT_EQ(key != nullptr && key->FindValue("DLL") != nullptr, c.hasDll) << c.name;
    }
}

TEST(RegistryDocument, SerializeRoundTrips) {
    RegistryDocument doc;
    doc.SetString("SOFTWARE\\BRAMWELL\\VARDA\\101", "DLL", "/a/b \"c\".so");
    doc.SetString("SOFTWARE\\BRAMWELL\\VARDA\\7", "DLL", "x");
    doc.SetString("software\\bramwell\\varda\\101", "dll", "/new.so");
    RegistryDocument again;
    ASSERT_TRUE(again.Parse(doc.Serialize()));
    ASSERT_EQ(again.Keys().size(), 2u);
    const auto* v = again.FindKey("SOFTWARE\\BRAMWELL\\VARDA\\101")->FindValue("DLL");
    EXPECT_EQ(std::string(v->data.begin(), v->data.end()), std::string("/new.so\0", 8));
}

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("norvane-reg-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "registry.reg").string();
        ::setenv("VARDA_REGISTRY", path_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("VARDA_REGISTRY");
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(RegistryFileTest, OpenAndQueryFollowWin32Codes) {
    platform::RegKey key;
    EXPECT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\101", key), platform::kRegNotFound);

    std::ofstream(path_) << "no header\n";
    EXPECT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\101", key), platform::kRegInvalidData);

    ASSERT_TRUE(platform::RegWriteString(path_, "SOFTWARE\\BRAMWELL\\VARDA\\101", "DLL", std::string(259, 'x')));
    ASSERT_TRUE(platform::RegWriteString(path_, "SOFTWARE\\BRAMWELL\\VARDA\\102", "DLL", std::string(260, 'y')));
    EXPECT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\7", key), platform::kRegNotFound);

    ASSERT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\101", key), platform::kRegOk);
    uint8_t buffer[260] = {};
    platform::RegType type{};
    uint32_t size = 0;
    EXPECT_EQ(platform::RegQueryValue(key, "DLL", type, buffer, size), platform::kRegOk);
    EXPECT_EQ(size, 260u);
    EXPECT_EQ(type, platform::RegType::Sz);
    EXPECT_EQ(buffer[258], 'x');
    EXPECT_EQ(buffer[259], 0);
    EXPECT_EQ(platform::RegQueryValue(key, "Missing", type, buffer, size), platform::kRegNotFound);

    ASSERT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\102", key), platform::kRegOk);
    EXPECT_EQ(platform::RegQueryValue(key, "DLL", type, buffer, size), platform::kRegMoreData);
    EXPECT_EQ(size, 261u);
}

}  // namespace
