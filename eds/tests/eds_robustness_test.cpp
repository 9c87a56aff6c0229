// Bad and huge input: every byte sequence loads, nothing reads past its buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "eds/eds_file.h"

using namespace DeviceNetEDS;

namespace {

class TempFile {
public:
    explicit TempFile(const std::string& content, const char* name = "input.eds") {
        char tmpl[] = "/tmp/eds_test_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        path_ = dir_ + "/" + name;
        std::ofstream(path_, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    ~TempFile() { std::filesystem::remove_all(dir_); }
    const std::string& Path() const { return path_; }

private:
    std::string dir_, path_;
};

std::string ParamLine(int n) {
    return "Param" + std::to_string(n) + " = 0,6,\"20 0F 24 " + std::to_string(n % 100) +
           " 30 01\",0x0010,0xC7,2,\"Parameter " + std::to_string(n) +
           "\",\"rpm\",\"help\",0,65535,100,1,1,1,0,0,0,0,0,0;\n";
}

}  // namespace

TEST(EdsRobustness, LoadFailures) {
    CEDSFile doc;
    ASSERT_EQ(doc.LoadFromMemory("[Device]\nVendCode = 7;\n", "/tmp/a.eds"), 1);
    // A file that cannot be opened: 0, the new path is kept, the sections are not touched.
    EXPECT_EQ(doc.Load("/nonexistent/dir/Missing.eds"), 0);
    EXPECT_EQ(doc.Path(), "/nonexistent/dir/Missing.eds");
    EXPECT_EQ(doc.Title(), "Missing");
    EXPECT_EQ(doc.Device().VendCode(), 7);
    EXPECT_EQ(doc.IsLoaded(), 1);
    // A folder is not a file.
    EXPECT_EQ(doc.Load("/tmp"), 0);
    // Empty or missing path: reset.
    EXPECT_EQ(doc.Load(""), 0);
    EXPECT_EQ(doc.IsLoaded(), 0);
    EXPECT_EQ(doc.Device().VendCode(), 0);
    EXPECT_EQ(doc.Path(), "");
    EXPECT_EQ(doc.Load(static_cast<const char*>(nullptr)), 0);
}

TEST(EdsRobustness, EmptyFileLoads) {
    TempFile file("");
    CEDSFile doc;
    EXPECT_EQ(doc.Load(file.Path()), 1);
    EXPECT_EQ(doc.IsLoaded(), 1);
    EXPECT_TRUE(doc.Device().Entries().empty());
    EXPECT_TRUE(doc.OtherSections().empty());
}

TEST(EdsRobustness, OddInputs) {
    const std::string inputs[] = {
        "\"",
        "[",
        "]",
        "[[[[",
        "\\",
        "\"\\",
        "[Device]\nVendName = \"\\",
        "[Params]\nParam1 = ;",
        "[Params]\nParam1 = \";",
        "[Params]\nParam1 = 0,200,\"20\",0,0,0,\"a\",\"b\",\"c\";",
        "[Params]\nParam1 = 0,-5,\"20 0F\";",
        "[Params]\nParam1 = 0,2147483647,\"20 0F 24 01 30 01\";",
        "[Params]\nParam99999999999 = 1;\nParam-3 = 1;\nEnum1 = ,\"\",;",
        "[Params]\nParam1 = 0,0,,0,0,0,\"name\";\nEnum1 = \"x\",\"y\",;",
        "[Params]\nParam1 = 0,0,,0,0,0,\"",
        "[Groups]\nGroup1 = \"g\",2147483647,1;\nGroup2 = \";\nGroup3 = ;",
        "[Assembly]\nAssem1 = ;\nAssem2 = \"a\",\"20\",1,2,3,4,5;\nAssem3 = ,,,,,,,,,,,;",
        "[IO_Info]\nInput1 = ;\nOutput1 = \"\";\nPollInfo = ;",
        "[EnumPar]\nParam1 = \"\";\nParam2 = \"a\",\"b\"\",\"c\";",
        std::string("[Device]\0VendCode\0=\0 5;", sizeof("[Device]\0VendCode\0=\0 5;") - 1),
        "$",
        "[Device]\r\r\r\n\n\n;;;;====",
    };
    for (const std::string& input : inputs) {
        CEDSFile doc;
        EXPECT_EQ(doc.LoadFromMemory(input, "/tmp/x.eds"), 1) << input;
        CEDSFile copy = doc;
        EXPECT_EQ(copy.IsLoaded(), 1);
    }
}

TEST(EdsRobustness, OversizeLinkPathReadsOnlyWhatIsThere) {
    CEDSFile doc;
    doc.LoadFromMemory("[Params]\nParam1 = 0,2147483647,\"20 0F 24\",0,0,1,\"P\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;");
    EXPECT_EQ(doc.Params().GetParam(1).linkPathBytes, (std::vector<uint8_t>{0x20, 0x0F, 0x24}));
    EXPECT_EQ(doc.Params().GetParam(1).name, "P");
}

TEST(EdsRobustness, RandomGarbage) {
    std::mt19937 rng(12345);
    const std::string alphabet = "[]\"\\$;=, \r\n\tParamEnumGroupAssemInputOutput0123456789x";
    for (int round = 0; round < 200; ++round) {
        std::string input;
        size_t length = rng() % 4000;
        for (size_t i = 0; i < length; ++i) {
            input.push_back(rng() % 4 == 0 ? static_cast<char>(rng() & 0xFF) : alphabet[rng() % alphabet.size()]);
        }
        CEDSFile doc;
        ASSERT_EQ(doc.LoadFromMemory(input, "/tmp/garbage.eds"), 1);
    }
}

TEST(EdsRobustness, HundredThousandParameters) {
    std::string text = "[File]\nDescText = \"big\";\n[Params]\n";
    for (int n = 1; n <= 100000; ++n) text += ParamLine(n);
    while (text.size() < 10u * 1024 * 1024) text += "$ padding comment line to reach the size of a large file\n";
    TempFile file(text, "big.eds");
    CEDSFile doc;
    ASSERT_EQ(doc.Load(file.Path()), 1);
    EXPECT_EQ(doc.Params().Params().size(), 100000u);
    EXPECT_EQ(doc.Params().GetParam(99999).name, "Parameter 99999");
    EXPECT_EQ(doc.Params().GetParam(100000).linkPathBytes, (std::vector<uint8_t>{0x20, 0x0F, 0x24, 0x00, 0x30, 0x01}));
}

TEST(EdsRobustness, ManyRepeatedOtherSections) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += i % 2 ? "[A]\nK=1;\n" : "[B]\n";
    CEDSFile doc;
    ASSERT_EQ(doc.LoadFromMemory(text), 1);
    EXPECT_EQ(doc.OtherSections().size(), 2u);
    EXPECT_EQ(doc.OtherSectionCounter(), 200000);
    EXPECT_EQ(doc.FindOtherSection("A")->Entries().at("K"), "1");
}

TEST(EdsRobustness, Gb18030TextBecomesUtf8) {
    // "设备" in GB18030 is C9 E8 B1 B8.
    CEDSFile doc;
    doc.LoadFromMemory("[Device]\nVendName = \"\xC9\xE8\xB1\xB8\";\n");
    EXPECT_EQ(doc.Device().VendName(), "\xE8\xAE\xBE\xE5\xA4\x87");
}
