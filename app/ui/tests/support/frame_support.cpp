#include "support/frame_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "ui/frame/main_frame.h"
#include "ui/frame/window_profile.h"

namespace frame_test {
namespace {

namespace fs = std::filesystem;

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0 ? value : fallback;
}

// The tests run on a copy of the build's program folder, so language switches and the
// settings written at exit never touch the build tree. Set up before anything asks CGlobal.
struct ProgramHome {
    ProgramHome() {
        if (std::getenv("NORVANE_HOME") != nullptr) return;
        const std::string bin = EnvOr("NORVANE_BIN_DIR", "");
        if (bin.empty()) return;
        char pattern[] = "/tmp/norvane-ui-home.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        root = pattern;
        std::error_code ec;
        for (const char* name : {"Norvane.xml", "config.xml", "language", "edsfile"}) {
            if (fs::exists(fs::path(bin) / name, ec)) {
                fs::copy(fs::path(bin) / name, fs::path(root) / name, fs::copy_options::recursive, ec);
            }
        }
        ::setenv("NORVANE_HOME", root.c_str(), 1);
    }
    ~ProgramHome() {
        // CGlobal (built later, gone earlier) has written its settings by now.
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
    }
    std::string root;
};
ProgramHome g_programHome;

}  // namespace

std::string DemoNetwork() { return SourceDir() + "/resources/demo/demo.kld"; }

std::string WriteDemoNetwork(const TempFolder& folder, int cards, int slavesPerMaster) {
    std::string demo = ReadFile(DemoNetwork());
    // EDS paths of the demo are relative to its folder.
    demo = std::regex_replace(demo, std::regex("path=\"eds/"), "path=\"" + SourceDir() + "/resources/demo/eds/");
    if (slavesPerMaster >= 0) {
        // Repeat the first slave (the I/O block) with addresses 1 .. slavesPerMaster.
        const std::size_t first = demo.find("<Slave ");
        const std::size_t firstEnd = demo.find("</Slave>", first) + 8;
        const std::string slave = demo.substr(first, firstEnd - first);
        const std::size_t serverEnd = demo.find("</Server>");
        std::string slaves;
        for (int mac = 1; mac <= slavesPerMaster; ++mac) {
            std::string copy = slave;
            // VARDA_CFG: the MAC ID is the first byte of the record.
            const std::size_t cfg = copy.find("<VARDA_CFG value=\"");
            char hex[9];
            std::snprintf(hex, sizeof hex, "%02X", mac & 0xFF);
            copy.replace(cfg + 18, 2, hex);
            slaves += copy + "\n        ";
        }
        demo = demo.substr(0, first) + slaves + demo.substr(serverEnd);
    }
    const std::size_t cardStart = demo.find("<Card");
    const std::size_t cardEnd = demo.rfind("</Card>") + 7;
    const std::string card = demo.substr(cardStart, cardEnd - cardStart);
    std::string all;
    for (int i = 0; i < cards; ++i) {
        std::string copy = card;
        copy.replace(copy.find("addr=\"0\""), 8, "addr=\"" + std::to_string(i) + "\"");
        all += copy + "\n";
    }
    const std::string path = folder.Path("network-" + std::to_string(cards) + ".kld");
    std::ofstream(path, std::ios::binary) << all;
    return path;
}

Emulator::Emulator(int adapters, const std::string& bus) {
    if (!testkit::EmulatorSession::Available() || !fs::exists(BinDir() + "/libtamsen.so")) {
        problem_ = "adapter-emu or libtamsen.so is not built in " + BinDir();
        return;
    }
    testkit::EmulatorSession::Options options;
    options.arguments = {"--fast", "--verbose"};
    options.keepState = true;
    options.adapters = adapters;
    session_ = std::make_unique<testkit::EmulatorSession>(ReadFile(SourceDir() + "/resources/demo/" + bus), options);
    if (!session_->Ready()) {
        problem_ = "adapter-emu did not come up: " + session_->ErrorOutput();
        return;
    }
    session_->Apply();
}

int Emulator::CountInLog(const std::string& what) const {
    const std::string log = Log();
    int n = 0;
    for (std::size_t pos = log.find(what); pos != std::string::npos; pos = log.find(what, pos + 1)) ++n;
    return n;
}

void UseFreshProfile(const TempFolder& folder) {
    window_profile::SetFile(QString::fromStdString(folder.Path("profile.ini")));
}

}  // namespace frame_test
