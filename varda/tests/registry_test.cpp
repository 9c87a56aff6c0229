// Finding and loading device libraries through the registry file, and the lines logged when
// that fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/registry_file.h"
#include "recorder.h"
#include "test_support.h"
#include "varda_api.h"

namespace {

using vardatest::LogLines;
using vardatest::NewDeviceType;
using vardatest::SubKey;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string KeyLine(uint32_t type) { return "[HKEY_LOCAL_MACHINE\\" + SubKey(type) + "]\r\n"; }

// Expects exactly one logged line, from VARDA_Open(), with `text`.
void ExpectOneOpenError(const std::string& text, const std::string& context) {
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u) << context;
    EXPECT_EQ(lines[0].label, "VARDA_Open()") << context;
    EXPECT_EQ(lines[0].text, text) << context;
}

TEST(VardaRegistry, TypeWithoutKeyGives41AndTheNextCallLooksAgain) {
    vardatest::WriteRegistry(kHeader);
    vardatest::ClearLog();
    EXPECT_EQ(VARDA_Open(7, 0, 0), VARDA_ERR_LOAD_LIBRARY);
    ExpectOneOpenError("Failed to open \"SOFTWARE\\BRAMWELL\\VARDA\\7\", err=2", "type 7");

    // Installing the library afterwards is enough: the failure was not remembered.
    vardatest::ClearLog();
    const std::string library = vardatest::InstallDevice("complete", 7);
    EXPECT_EQ(VARDA_Open(7, 0, 0), VARDA_OK);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(devrec::Calls(library).size(), 1u);
    EXPECT_EQ(VARDA_Close(7, 0), VARDA_OK);
}

TEST(VardaRegistry, BadRegistryFilesGive41WithTheMatchingText) {
    const std::string missingLibrary = vardatest::TestDir() + "/no-such-device.so";
    const std::string notALibrary = vardatest::TestDir() + "/not-a-library.so";
    std::ofstream(notALibrary) << "this is not a shared object\n";
    const std::string name259 = "/" + std::string(258, 'n');
    const std::string name260 = "/" + std::string(259, 'n');
    const std::string retrieve = "Failed to retrieve library name";

    struct Case {
        const char* name;
        // Registry text for the device type; {key} stands for its key line.
        std::function<std::string(uint32_t)> registry;
        std::function<std::string(uint32_t)> expectedText;
    };
    auto openFailed = [](int err) {
        return [err](uint32_t type) { return "Failed to open \"" + SubKey(type) + "\", err=" + std::to_string(err); };
    };
    auto fixed = [](std::string text) { return [text](uint32_t) { return text; }; };
    const Case cases[] = {
        {"no key", [](uint32_t) { return std::string(kHeader); }, openFailed(2)},
        {"key of another type", [](uint32_t t) { return kHeader + KeyLine(t + 100000) + "\"DLL\"=\"/x.so\"\r\n"; },
         openFailed(2)},
        {"missing header", [](uint32_t t) { return KeyLine(t) + "\"DLL\"=\"/x.so\"\r\n"; }, openFailed(13)},
        {"empty file", [](uint32_t) { return std::string(); }, openFailed(13)},
        {"unclosed key line",
         [](uint32_t t) { return kHeader + ("[HKEY_LOCAL_MACHINE\\" + SubKey(t)) + "\r\n\"DLL\"=\"/x.so\"\r\n"; },
         openFailed(2)},
        {"key without value", [](uint32_t t) { return kHeader + KeyLine(t); }, fixed(retrieve)},
        {"value under another name", [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLLs\"=\"/x.so\"\r\n"; },
         fixed(retrieve)},
        {"garbage instead of the value", [](uint32_t t) { return kHeader + KeyLine(t) + "DLL=/x.so\r\n#!@\r\n"; },
         fixed(retrieve)},
        {"unterminated quote", [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"/x.so\r\n"; },
         fixed(retrieve)},
        {"unterminated name", [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL=\"/x.so\"\r\n"; }, fixed(retrieve)},
        {"REG_EXPAND_SZ",
         [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=hex(2):2f,00,78,00,2e,00,73,00,6f,00,00,00\r\n"; },
         fixed(retrieve)},
        {"REG_DWORD", [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=dword:00000001\r\n"; }, fixed(retrieve)},
        {"REG_SZ without its zero, filling the buffer",
         [](uint32_t t) {
             std::string hex;
             for (int i = 0; i < 260; ++i) hex += i ? ",61" : "61";
             return kHeader + KeyLine(t) + "\"DLL\"=hex(1):" + hex + "\r\n";
         },
         fixed(retrieve)},
        {"name of 260 characters", [&](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"" + name260 + "\"\r\n"; },
         fixed(retrieve)},
        {"name of 259 characters", [&](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"" + name259 + "\"\r\n"; },
         fixed("Failed to load library \"" + name259 + "\", err=2")},
        {"missing library", [&](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"" + missingLibrary + "\"\r\n"; },
         fixed("Failed to load library \"" + missingLibrary + "\", err=2")},
        {"missing library by bare name",
         [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"libvarda-no-such-device.so\"\r\n"; },
         fixed("Failed to load library \"libvarda-no-such-device.so\", err=2")},
        {"not a library", [&](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"" + notALibrary + "\"\r\n"; },
         fixed("Failed to load library \"" + notALibrary + "\", err=8")},
        {"empty name", [](uint32_t t) { return kHeader + KeyLine(t) + "\"DLL\"=\"\"\r\n"; },
         fixed("Failed to load library \"\", err=2")},
    };
    for (const auto& c : cases) {
        const uint32_t type = NewDeviceType();
        vardatest::WriteRegistry(c.registry(type));
        vardatest::ClearLog();
        EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_ERR_LOAD_LIBRARY) << c.name;
        ExpectOneOpenError(c.expectedText(type), c.name);
        // Nothing was kept: once the registry is right the same type loads.
        vardatest::ClearLog();
        vardatest::WriteRegistry(kHeader);
        const std::string library = vardatest::InstallDevice("complete", type);
        EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_OK) << c.name;
        EXPECT_EQ(devrec::LoadCount(library), 1) << c.name;
        EXPECT_TRUE(LogLines().empty()) << c.name;
    }
    // The environment's registry file is the one read: a file that does not exist is error 2.
    const uint32_t type = NewDeviceType();
    vardatest::InstallDevice("complete", type);
    const std::string saved = std::getenv("VARDA_REGISTRY");
    ::setenv("VARDA_REGISTRY", (vardatest::TestDir() + "/absent.reg").c_str(), 1);
    vardatest::ClearLog();
    EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_ERR_LOAD_LIBRARY);
    ::setenv("VARDA_REGISTRY", saved.c_str(), 1);
    ExpectOneOpenError("Failed to open \"" + SubKey(type) + "\", err=2", "absent file");
    EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_OK);
}

TEST(VardaRegistry, ReadableFilesLoadDespiteNoise) {
    struct Case {
        const char* name;
        std::function<std::string(uint32_t, const std::string&)> registry;
    };
    const Case cases[] = {
        {"garbage lines around the value",
         [](uint32_t t, const std::string& lib) {
             return kHeader + std::string("garbage\r\n=\r\n") + KeyLine(t) + "!!!\r\n\"DLL\"=\"" + lib +
                    "\"\r\n\"Other\"=\"unterminated\r\n";
         }},
        {"REGEDIT4 header and key in other case",
         [](uint32_t t, const std::string& lib) {
             return "REGEDIT4\n\n[hkey_local_machine\\software\\bramwell\\varda\\" + std::to_string(t) +
                    "]\n\"dll\"=\"" + lib + "\"\n";
         }},
        {"REG_SZ written as hex(1) with its zero",
         [](uint32_t t, const std::string& lib) {
             std::string hex;
             for (unsigned char ch : lib) {
                 char b[4];
                 std::snprintf(b, sizeof b, "%02x,", ch);
                 hex += b;
             }
             return kHeader + KeyLine(t) + "\"DLL\"=hex(1):" + hex + "00\r\n";
         }},
    };
    for (const auto& c : cases) {
        const uint32_t type = NewDeviceType();
        const std::string library = vardatest::InstallDevice("complete", type);
        vardatest::WriteRegistry(c.registry(type, library));
        vardatest::ClearLog();
        EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_OK) << c.name;
        EXPECT_EQ(devrec::Calls(library).size(), 1u) << c.name;
        EXPECT_TRUE(LogLines().empty()) << c.name;
    }
}

TEST(VardaRegistry, RegisteringTheDispatcherItselfDoesNotLoopBack) {
    // The loader hands back this very library; its own functions are not taken as a device's.
    const uint32_t type = NewDeviceType();
    ASSERT_TRUE(platform::RegWriteString(vardatest::RegistryPath(), SubKey(type), "DLL", VARDA_LIBRARY));
    EXPECT_EQ(VARDA_Open(type, 0, 0), VARDA_ERR_NO_FUNCTION);
    uint32_t handle = 0;
    EXPECT_EQ(VARDA_Init(type, 0, 0, nullptr, &handle), VARDA_ERR_NOT_OPEN);
}

}  // namespace
