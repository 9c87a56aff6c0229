#include "support/frame_support.h"


#include <chrono>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ui/frame/main_frame.h"
#include "ui/frame/window_profile.h"

extern char** environ;

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

std::string BinDir() { return EnvOr("NORVANE_BIN_DIR", ""); }
std::string SourceDir() { return EnvOr("NORVANE_SOURCE_DIR", ""); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DemoNetwork() { return SourceDir() + "/resources/demo/demo.kld"; }

TempFolder::TempFolder() {
    char pattern[] = "/tmp/norvane-frame-test.XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

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
    const std::string emu = BinDir() + "/adapter-emu";
    const std::string tamsen = BinDir() + "/libtamsen.so";
    if (!fs::exists(emu) || !fs::exists(tamsen)) {
        problem_ = "adapter-emu or libtamsen.so is not built in " + BinDir();
        return;
    }
    fs::create_directories(folder_.Path("state"));
    std::vector<std::string> args{emu,     "--dir",   folder_.Path("dev"), "--bus", SourceDir() + "/resources/demo/" + bus,
                                  "--state", folder_.Path("state"), "--adapters", std::to_string(adapters), "--fast",
                                  "--verbose"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = folder_.Path("emu.out");
    const std::string err = folder_.Path("emu.err");
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int spawned = posix_spawn(&pid_, emu.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        problem_ = "adapter-emu could not be started";
        return;
    }
    const std::string lastPipe = folder_.Path("dev/adapter" + std::to_string(adapters - 1) + "/PIPE09");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(lastPipe) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!fs::exists(lastPipe)) {
        problem_ = "adapter-emu did not come up: " + ReadFile(err);
        return;
    }
    std::ofstream(folder_.Path("registry.reg"))
        << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n\"DLL\"=\""
        << tamsen << "\"\n";
    ::setenv("VARDA_REGISTRY", folder_.Path("registry.reg").c_str(), 1);
    ::setenv("TAMSEN_DEVICE_DIR", folder_.Path("dev").c_str(), 1);
    ready_ = true;
}

Emulator::~Emulator() {
    ::unsetenv("VARDA_REGISTRY");
    ::unsetenv("TAMSEN_DEVICE_DIR");
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

std::string Emulator::Log() const { return ReadFile(folder_.Path("emu.err")); }

int Emulator::CountInLog(const std::string& what) const {
    const std::string log = Log();
    int n = 0;
    for (std::size_t pos = log.find(what); pos != std::string::npos; pos = log.find(what, pos + 1)) ++n;
    return n;
}

std::string Emulator::Control(const std::string& line) const {
    const std::string path = folder_.Path("dev/control");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return "error: path too long";
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "error: socket";
    std::string answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string text = line + "\n";
        if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
            char buffer[256];
            ssize_t n = 0;
            while (answer.find('\n') == std::string::npos && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
                answer.append(buffer, static_cast<size_t>(n));
            }
        }
    } else {
        answer = "error: connect";
    }
    ::close(fd);
    return answer;
}

void UseFreshProfile(const TempFolder& folder) {
    window_profile::SetFile(QString::fromStdString(folder.Path("profile.ini")));
}

}  // namespace frame_test
