// libtamsen.so as a loaded library: its exports, its load line, unloading with an open adapter,
// and the road through libvarda.so and a registry file when the dispatcher is built.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/module.h"
#include "platform/registry_file.h"
#include "socket_adapter.h"
#include "testing/master_records.h"
#include "varda_api.h"

namespace tamsen::testing {
namespace {

std::string BinDir() {
    const char* dir = std::getenv("NORVANE_BIN_DIR");
    return dir != nullptr ? dir : "";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = std::filesystem::path("/tmp") / ("tlb" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir_ / "devices");
        ::setenv("TAMSEN_DEVICE_DIR", (dir_ / "devices").c_str(), 1);
        logPath_ = (dir_ / "debug.log").string();
        ::setenv("VARDA_DEBUG_OUTPUT", logPath_.c_str(), 1);
        adapter_ =
            std::make_unique<SocketAdapter>((dir_ / "devices" / "usb0").string(), SocketAdapter::DefaultFirmware);
    }
    void TearDown() override {
        adapter_.reset();
        ::unsetenv("TAMSEN_DEVICE_DIR");
        ::unsetenv("VARDA_DEBUG_OUTPUT");
        ::unsetenv("VARDA_REGISTRY");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    template <typename Fn>
    Fn Resolve(const platform::Module& module, const char* name) {
        void* symbol = module.Symbol(name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Fn>(symbol);
    }

    bool WaitForConnections(int count) {
        for (int i = 0; i < 200 && adapter_->OpenConnections() != count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return adapter_->OpenConnections() == count;
    }

    // Opens, initialises and exercises adapter 0 through the sixteen functions of `module`.
    void RunSession(const platform::Module& module) {
        const VardaFunctions api = testkit::LoadVardaFunctions(module);
        ASSERT_TRUE(api.Complete());
        ASSERT_EQ(api.Open(101, 0, 0), 0u) << ReadFile(logPath_);
        const VARDA_INIT_PARAM p = testkit::InitParam();
        uint32_t handle = 0;
        ASSERT_EQ(api.Init(101, 0, 0, &p, &handle), 0u);
        EXPECT_EQ(api.GetSlaveStatus(handle, 7), 0u);
        uint8_t buffer[8] = {};
        uint32_t length = 3;
        EXPECT_EQ(api.ReadSlaveIO(handle, 7, 1, buffer, &length, 0), 0u);
        EXPECT_EQ(length, 3u);
        EXPECT_EQ(buffer[2], 2);
        EXPECT_EQ(api.Uninit(handle), 0u);
        EXPECT_EQ(api.GetSlaveStatus(handle, 7), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(api.Close(101, 0), 0u);
        EXPECT_TRUE(WaitForConnections(0));
    }

    std::filesystem::path dir_;
    std::string logPath_;
    std::unique_ptr<SocketAdapter> adapter_;
};

TEST_F(LibraryTest, ExportsExactlyTheMasterApiAndTheTestInterface) {
    const std::string lib = BinDir() + "/libtamsen.so";
    FILE* nm = ::popen(("nm -D --defined-only '" + lib + "'").c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, nm) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) exported.insert(name);
    }
    ASSERT_EQ(::pclose(nm), 0);
    std::set<std::string> expected(std::begin(VARDA_FUNCTION_NAMES), std::end(VARDA_FUNCTION_NAMES));
    for (const char* name :
         {"DNetTest_StartDrv", "DNetTest_StopDrv", "DNetTest_Produce", "DNetTest_ReConfig", "DNetTest_Offline",
          "DNetTest_Online", "DNetTest_SetScreen", "DNetTest_GetMessage", "DNetTest_PeekMessage"}) {
        expected.insert(name);
    }
    EXPECT_EQ(exported, expected);
}

TEST_F(LibraryTest, LoadLogsItsVersionAndUnloadClosesOpenAdaptersWithoutCommands) {
    int error = 0;
    std::string message;
    {
        platform::Module module = platform::Module::Load(BinDir() + "/libtamsen.so", error, message);
        ASSERT_TRUE(module.IsLoaded()) << message;
        EXPECT_NE(ReadFile(logPath_).find("tamsen.dll : INFO : Release version, "), std::string::npos);
        auto open = Resolve<PFN_VARDA_Open>(module, "VARDA_Open");
        ASSERT_EQ(open(101, 0, 0), 0u);
        EXPECT_EQ(adapter_->OpenConnections(), 8);
        EXPECT_EQ(adapter_->Commands(), 2);  // DcReset, Open
    }
    // Unloaded with the adapter still open: pipes closed, no Close command sent.
    EXPECT_TRUE(WaitForConnections(0));
    EXPECT_EQ(adapter_->Commands(), 2);
}

TEST_F(LibraryTest, SessionThroughTheLoadedLibrary) {
    int error = 0;
    std::string message;
    platform::Module module = platform::Module::Load(BinDir() + "/libtamsen.so", error, message);
    ASSERT_TRUE(module.IsLoaded()) << message;
    RunSession(module);
}

TEST_F(LibraryTest, RegisterToolWritesTheDeviceLibraryKey) {
    const std::string reg = (dir_ / "registry.reg").string();
    const std::string lib = BinDir() + "/libtamsen.so";
    const std::string command = "'" + BinDir() + "/varda-register' '" + reg + "' 101 '" + lib + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(std::system(("'" + BinDir() + "/varda-register' '" + reg + "' x1 y >/dev/null 2>&1").c_str()), 0);
    ::setenv("VARDA_REGISTRY", reg.c_str(), 1);
    platform::RegKey key;
    ASSERT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\101", key), platform::kRegOk);
    const platform::RegValue* value = key.FindValue("DLL");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, platform::RegType::Sz);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value->data.data())), lib);
}

TEST_F(LibraryTest, RegisterToolRecordsUsbIdsAndWritesTheUdevRule) {
    const std::string reg = (dir_ / "registry.reg").string();
    const std::string rules = (dir_ / "60-norvane-adapter.rules").string();
    const std::string tool = "'" + BinDir() + "/varda-register' ";
    struct Case {
        const char* args;  // before REGFILE TYPE LIBPATH
        int exitCode;
    };
    const Case refused[] = {
        {"--usb-ids 1a2b", 2},  // no product id
        {"--usb-ids 1a2b:00001", 2},  // more than 16 bits
        {"--usb-ids 1a2b:0001,", 2},  // empty entry
        {"--usb-ids xyz:0001", 2},  // not hexadecimal
        {"--udev-rules /tmp/x.rules", 2},  // a rule without ids
        {"--bogus", 2},
    };
    for (const Case& c : refused) {
        const std::string command = tool + c.args + " '" + reg + "' 101 /lib/x.so >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.args;
        EXPECT_FALSE(std::filesystem::exists(reg)) << c.args << ": nothing written on bad input";
    }
    const std::string command =
        tool + "--usb-ids 1A2B:1,0403:6001 --udev-rules '" + rules + "' '" + reg + "' 101 /usr/lib/libtamsen.so.1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ::setenv("VARDA_REGISTRY", reg.c_str(), 1);
    platform::RegKey key;
    ASSERT_EQ(platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\101", key), platform::kRegOk);
    const platform::RegValue* ids = key.FindValue("UsbIds");
    ASSERT_NE(ids, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ids->data.data())), "1a2b:0001,0403:6001");
    const platform::RegValue* dll = key.FindValue("DLL");
    ASSERT_NE(dll, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dll->data.data())), "/usr/lib/libtamsen.so.1");
    EXPECT_EQ(ReadFile(rules),
              "# DeviceNet master adapters of Norvane: the logged-in user may open them.\n"
              "# Written by varda-register --usb-ids; run it again to change the list.\n"
              "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"1a2b\", ATTR{idProduct}==\"0001\", TAG+=\"uaccess\"\n"
              "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"0403\", ATTR{idProduct}==\"6001\", TAG+=\"uaccess\"\n");
    // Registering again replaces the list and the rule.
    ASSERT_EQ(std::system(
                  (tool + "--usb-ids 0403:6001 --udev-rules '" + rules + "' '" + reg + "' 101 /usr/lib/libtamsen.so.1")
                      .c_str()),
              0);
    EXPECT_EQ(ReadFile(rules).find("1a2b"), std::string::npos);
    // A rule file that cannot be written is an error.
    EXPECT_NE(std::system((tool + "--usb-ids 0403:6001 --udev-rules '" + (dir_ / "no/such/dir/x.rules").string() +
                           "' '" + reg + "' 101 /usr/lib/libtamsen.so.1 2>/dev/null")
                              .c_str()),
              0);
}

TEST_F(LibraryTest, SessionThroughTheDispatcherAndTheRegistry) {
    const std::string varda = BinDir() + "/libvarda.so";
    if (!std::filesystem::exists(varda)) GTEST_SKIP() << "libvarda.so is not built";
    const std::string reg = (dir_ / "registry.reg").string();
    ASSERT_EQ(platform::RegWriteString(reg, "SOFTWARE\\BRAMWELL\\VARDA\\101", "DLL", BinDir() + "/libtamsen.so"), true);
    ::setenv("VARDA_REGISTRY", reg.c_str(), 1);
    int error = 0;
    std::string message;
    platform::Module module = platform::Module::Load(varda, error, message);
    ASSERT_TRUE(module.IsLoaded()) << message;
    RunSession(module);
}

}  // namespace
}  // namespace tamsen::testing
