// Helpers of the pane tests: a program folder of their own, a scripted master device library
// behind libvarda.so, the program's own Qt host with a log pane and a message-box answerer, and
// networks built through the model's public API.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include "network/network.h"
#include "network_builder.h"
#include "resources/resource_manager.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "testing/build_paths.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/qt_host.h"
#include "ui/models/info_log_model.h"

namespace panes_test {

using testkit::BinDir;
using testkit::SourceDir;

// A copy of the settings placed beside the built program, used as the program folder unless
// one was chosen already, so that the settings written at exit stay out of the build tree.
inline void UseTemporaryProgramFolder() {
    static const bool done = [] {
        if (const char* home = std::getenv("NORVANE_HOME"); home != nullptr && *home != '\0') return true;
        namespace fs = std::filesystem;
        const fs::path folder = fs::temp_directory_path() / ("norvane-panes-" + std::to_string(::getpid()));
        std::error_code ec;
        fs::create_directories(folder, ec);
        for (const char* name : {"Norvane.xml", "config.xml", "language"}) {
            fs::copy(fs::path(BinDir()) / name, folder / name,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        }
        fs::create_directories(folder / "edsfile", ec);
        ::setenv("NORVANE_HOME", folder.c_str(), 1);
        return true;
    }();
    (void)done;
}

// Control of the scripted master device library (the copy libvarda.so loads).
class FakeMaster {
public:
    static std::string LibraryPath() { return BinDir() + "/libfake_master_device.so"; }

    FakeMaster() {
        handle_ = ::dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) return;
        reset_ = reinterpret_cast<void (*)()>(::dlsym(handle_, "FakeMaster_Reset"));
        setStatus_ = reinterpret_cast<void (*)(uint32_t, uint32_t)>(::dlsym(handle_, "FakeMaster_SetSlaveStatus"));
        fail_ = reinterpret_cast<void (*)(const char*, uint32_t, uint32_t)>(::dlsym(handle_, "FakeMaster_Fail"));
    }
    ~FakeMaster() {
        if (handle_ != nullptr) ::dlclose(handle_);
    }
    FakeMaster(const FakeMaster&) = delete;
    FakeMaster& operator=(const FakeMaster&) = delete;

    bool Loaded() const { return reset_ != nullptr && setStatus_ != nullptr && fail_ != nullptr; }
    void Reset() const { reset_(); }
    void SetSlaveStatus(uint32_t mac, uint32_t status) const { setStatus_(mac, status); }
    void Fail(const char* function, uint32_t code, uint32_t count) const { fail_(function, code, count); }

private:
    void* handle_ = nullptr;
    void (*reset_)() = nullptr;
    void (*setStatus_)(uint32_t, uint32_t) = nullptr;
    void (*fail_)(const char*, uint32_t, uint32_t) = nullptr;
};

// The program's own device type, and the type the scripted library stands behind. The
// dispatcher keeps the library it loaded for a type for the whole process, so the scripted one
// gets a type of its own and never takes the place of the USB adapter library.
inline constexpr uint32_t kType = 101;
inline constexpr uint32_t kFakeType = 102;

// The text of string `id` in the English language file of the program folder.
inline std::string EnglishText(uint32_t id) {
    CXTPResourceManagerXMLEx english(GetGlobal().GetProgramDir() + "language/english.xml");
    std::string text;
    english.LoadString(text, id);
    return text;
}

// Position of the English language in the language list, -1 when there is none.
inline int EnglishLanguage() {
    const auto& languages = GetGlobal().Languages();
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].resourceFile == "english.xml") return static_cast<int>(i);
    }
    return -1;
}

// Fixture base: settings folder, the fake library as device type 102, the Qt host (its rows go
// to a log pane, its message boxes are answered OK unless a test answers them itself), and an
// empty network before and after every test.
class PanesTest : public ::testing::Test {
protected:
    // Before any member of a derived fixture can reach CGlobal.
    PanesTest() { UseTemporaryProgramFolder(); }

    void SetUp() override {
        ASSERT_TRUE(fake_.Loaded()) << "the scripted master library is missing: " << FakeMaster::LibraryPath();
        fake_.Reset();
        registryPath_ =
            (std::filesystem::temp_directory_path() / ("norvane-panes-registry-" + std::to_string(::getpid()) + ".reg"))
                .string();
        {
            std::ofstream out(registryPath_);
            out << "Windows Registry Editor Version 5.00\r\n\r\n"
                << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\" << kFakeType << "]\r\n"
                << "\"DLL\"=\"" << FakeMaster::LibraryPath() << "\"\r\n";
        }
        if (const char* old = std::getenv("VARDA_REGISTRY")) oldRegistry_ = old;
        ::setenv("VARDA_REGISTRY", registryPath_.c_str(), 1);
        savedInfobar_ = GetGlobal().Infobar();
        oldHost_ = GetGlobal().Host();
        logPane_ = std::make_unique<CInfoLogPane>();
        host_.SetLogPane(logPane_.get());
        GetGlobal().SetHost(&host_);
        GetNetwork().ClearNetwork();
    }

    void TearDown() override {
        GetNetwork().ClearNetwork();
        GetGlobal().SetHost(oldHost_);
        host_.SetLogPane(nullptr);
        logPane_.reset();
        GetGlobal().Infobar() = savedInfobar_;
        if (oldRegistry_.empty()) {
            ::unsetenv("VARDA_REGISTRY");
        } else {
            ::setenv("VARDA_REGISTRY", oldRegistry_.c_str(), 1);
        }
        std::error_code ec;
        std::filesystem::remove(registryPath_, ec);
    }

    // A master on (type, index, channel) with MAC ID `mac` and baud index `baud`. Masters of
    // type 101 cannot start here; masters of kFakeType can.
    static CServerDev* AddMaster(uint32_t index, uint32_t channel, uint32_t mac = 0, uint32_t baud = 0,
                                 uint32_t type = kType) {
        return test_network::AddMaster(GetNetwork(), type, index, channel, mac, baud);
    }

    // A hand-configured slave with a poll connection of the given sizes.
    static CSlaveDev* AddSlave(CServerDev* master, uint32_t mac, uint8_t pollIn = 1, uint8_t pollOut = 1,
                               const std::string& name = "Slave") {
        return test_network::AddPollSlave(*master, mac, pollIn, pollOut, name);
    }

    static std::string DemoEds(const std::string& file) { return SourceDir() + "/resources/demo/eds/" + file; }

    // The rows the host has put into the log pane so far.
    std::vector<name_share::LogRow> LogRows() const {
        const auto rows = logPane_->Model()->Rows();
        return {rows.begin(), rows.end()};
    }
    void ClearLogRows() const { logPane_->Clear(); }

    FakeMaster fake_;
    CQtHost host_;
    ui_test::BoxAnswerer boxes_;

private:
    std::string registryPath_;
    std::string oldRegistry_;
    std::unique_ptr<CInfoLogPane> logPane_;
    name_share::IHost* oldHost_ = nullptr;
    InfobarSettings savedInfobar_;
};

}  // namespace panes_test
