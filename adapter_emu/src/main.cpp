// adapter-emu: serves emulated DeviceNet master adapters over the socket driver until SIGINT or
// SIGTERM, or, with --usb, as emulated USB devices to one program until that program ends.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "adapter_emu/emulator.h"
#include "adapter_emu_usb/emulated_program.h"
#include "adapter_emu_usb/usb_testbed.h"

namespace {

const char* kUsage =
    "Usage: adapter-emu --dir DIR [--adapters N] [--bus FILE] [--state DIR] [--fast] [--shared-bus]\n"
    "                   [--dup-mac-timeout MS] [--verbose]\n"
    "       adapter-emu --usb VID:PID [--dir DIR] [OPTIONS] -- PROGRAM [ARGUMENTS...]\n";

void PrintHelp() {
    std::cout << kUsage
              << "\n"
                 "Stands in for DeviceNet master adapters (firmware and driver) with a simulated network.\n"
                 "Point libtamsen.so at DIR with TAMSEN_DEVICE_DIR=DIR.\n"
                 "\n"
                 "Options:\n"
                 "  --dir DIR       folder to serve: DIR/adapter0, DIR/adapter1, ... each hold the ten\n"
                 "                  pipe sockets PIPE00..PIPE09 (SOCK_SEQPACKET, mode 0600); DIR/control\n"
                 "                  is the control socket. Created when missing. A folder that another\n"
                 "                  running adapter-emu serves is refused. Everything is removed again\n"
                 "                  on SIGINT or SIGTERM.\n"
                 "  --adapters N    number of adapters, 1 to 16 (default 1); each has its own copy of\n"
                 "                  the bus\n"
                 "  --bus FILE      the simulated network (XML, below); without it the bus is empty\n"
                 "  --state DIR     folder for each adapter's non-volatile memory (DIR/adapterN.xml):\n"
                 "                  SaveCfg writes the scan list and settings there and they are loaded\n"
                 "                  at start and on every reset; without it they last until exit\n"
                 "  --fast          explicit requests to absent or slow devices time out at once\n"
                 "                  instead of after their time-out\n"
                 "  --shared-bus    all adapters on one bus: an adapter in test mode receives the\n"
                 "                  frames of the others' masters (poll, strobe, COS/cyclic, explicit)\n"
                 "  --dup-mac-timeout MS\n"
                 "                  wait after each of the two duplicate MAC ID requests of a master or\n"
                 "                  test-mode node going on line, 1 to 1000 ms (default 100; DeviceNet\n"
                 "                  devices wait 1000)\n"
                 "  --verbose       log every command, acknowledge and connection to stderr\n"
                 "  --usb VID:PID   the adapters are also USB devices VID:PID (hexadecimal) on an\n"
                 "                  emulated bus 1, and PROGRAM runs with them (umockdev preload,\n"
                 "                  UMOCKDEV_DIR, TAMSEN_USB_IDS=VID:PID): libtamsen.so reaches them\n"
                 "                  through its USB driver and libusb. The emulator stops when PROGRAM\n"
                 "                  ends and exits with its exit code; SIGINT and SIGTERM are passed\n"
                 "                  on to it. --dir is optional (a temporary folder)\n"
                 "  --help          this text\n"
                 "\n"
                 "Bus file:\n"
                 "  <bus>\n"
                 "    <slave mac=\"0..63\" name=\"text\" eds=\"FILE.eds\" duplicate-mac=\"false\">\n"
                 "      <identity vendor-id=\"N\" device-type=\"N\" product-code=\"N\" product-name=\"text\"\n"
                 "                revision=\"MAJOR.MINOR\" serial=\"N\" status=\"N\"/>   (the first four required)\n"
                 "      <poll input=\"BYTES\" output=\"BYTES\" inputs=\"constant|counter|loopback\" data=\"HEX\"/>\n"
                 "      <strobe .../>  <cos .../>  <cyclic .../>   (same attributes; only the listed\n"
                 "                     connections exist; data: constant input bytes)\n"
                 "      <parameter number=\"N\" name=\"text\" units=\"text\" help=\"text\" type=\"UINT\"\n"
                 "                 value=\"V\" min=\"V\" max=\"V\" settable=\"true|false\">\n"
                 "        <choice value=\"V\" text=\"text\"/>   (optional: the only values accepted)\n"
                 "      </parameter>                  (Parameter object 0x0F, instance N, attributes 1..12)\n"
                 "      <attribute class=\"N\" instance=\"N\" id=\"N\" type=\"UINT\" value=\"V\" settable=\"false\"/>\n"
                 "      <attribute class=\"N\" instance=\"N\" id=\"N\" data=\"HEX BYTES\"/>\n"
                 "      <fault type=\"absent\"/> | <fault type=\"silent\" after=\"SECONDS\"/> |\n"
                 "      <fault type=\"idle\"/> | <fault type=\"slow\" delay=\"MS\"/>\n"
                 "    </slave>\n"
                 "  </bus>\n"
                 "  Numbers may be decimal or 0x hexadecimal. Types: BOOL SINT INT DINT LINT USINT UINT\n"
                 "  UDINT ULINT REAL LREAL BYTE WORD DWORD LWORD SHORT_STRING STRING. Identity (class 1)\n"
                 "  attributes 1 to 7 and the DeviceNet object (class 3) come from <identity>.\n"
                 "  eds=\"FILE.eds\" (relative to the bus file): identity (when <identity> is left out)\n"
                 "  and numeric parameters from the device's EDS file; the bus file's entries win.\n"
                 "  duplicate-mac=\"true\" on a <slave> at the MAC ID of an earlier one simulates two\n"
                 "  devices with one MAC ID: the later one fails its duplicate MAC ID check and stays\n"
                 "  off line.\n"
                 "  See adapter_emu/README.md for the full description.\n"
                 "\n"
                 "Control socket (DIR/control, one command per line, answer \"ok\" or \"error: ...\"):\n"
              << adapter_emu::ControlCommandHelp();
}

[[noreturn]] void Usage(const std::string& what) {
    std::cerr << "adapter-emu: " << what << "\n" << kUsage << "Try adapter-emu --help.\n";
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    adapter_emu::EmulatorOptions options;
    std::optional<std::string> busFile;
    bool haveDir = false;
    std::optional<adapter_emu::usb::UsbId> usbId;
    std::vector<std::string> program;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            program.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) Usage(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            PrintHelp();
            return 0;
        } else if (a == "--dir") {
            options.dir = value();
            haveDir = true;
        } else if (a == "--adapters") {
            const std::string v = value();
            char* end = nullptr;
            long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 1 || n > 16) Usage("--adapters must be 1 to 16, not \"" + v + "\"");
            options.adapters = static_cast<unsigned>(n);
        } else if (a == "--bus") {
            busFile = value();
        } else if (a == "--state") {
            options.stateDir = std::filesystem::path(value());
        } else if (a == "--fast") {
            options.fast = true;
        } else if (a == "--shared-bus") {
            options.sharedBus = true;
        } else if (a == "--dup-mac-timeout") {
            const std::string v = value();
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 1 || n > 1000) {
                Usage("--dup-mac-timeout must be 1 to 1000 (ms), not \"" + v + "\"");
            }
            options.duplicateMacTimeoutMs = static_cast<uint32_t>(n);
        } else if (a == "--verbose") {
            options.verbose = true;
        } else if (a == "--usb") {
            const std::string v = value();
            usbId = adapter_emu::usb::ParseUsbId(v);
            if (!usbId) Usage("--usb needs VID:PID in hexadecimal, such as 1a2b:0001, not \"" + v + "\"");
        } else {
            Usage("unknown argument \"" + a + "\"");
        }
    }
    if (usbId && program.empty()) Usage("--usb needs the program to run after --");
    if (!usbId && !program.empty()) Usage("a program after -- runs only with --usb");
    std::filesystem::path temporary;
    if (usbId && !haveDir) {
        std::string pattern = (std::filesystem::temp_directory_path() / "adapter-emu.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::cerr << "adapter-emu: cannot create a temporary folder: " << std::strerror(errno) << "\n";
            return 1;
        }
        temporary = pattern;
        options.dir = temporary / "dev";
        haveDir = true;
    }
    if (!haveDir || options.dir.empty()) Usage("--dir is required");

    if (busFile) {
        try {
            options.bus = adapter_emu::LoadBusFile(*busFile);
        } catch (const adapter_emu::BusFileError& e) {
            std::cerr << "adapter-emu: " << e.what() << "\n";
            return 2;
        }
    }
    auto logMutex = std::make_shared<std::mutex>();
    options.log = [logMutex](std::string_view line) {
        std::lock_guard l(*logMutex);
        std::cerr << "adapter-emu: " << line << "\n";
    };

    // The signals are taken by this thread only; every thread started later inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigset_t blocked = signals;
    sigaddset(&blocked, SIGCHLD);  // the program run with --usb is waited for with sigwait
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

    adapter_emu::Emulator emulator(options);
    try {
        emulator.Start();
    } catch (const adapter_emu::EmulatorError& e) {
        std::cerr << "adapter-emu: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "adapter-emu: serving " << options.adapters << " adapter(s) in " << options.dir.string() << " with "
              << options.bus.slaves.size() << " slave(s)\n";
    if (usbId) {
        int code = 1;
        try {
            adapter_emu::usb::UsbTestbed testbed;
            for (std::size_t i = 0; i < emulator.AdapterCount(); ++i) {
                adapter_emu::Adapter& adapter = emulator.GetAdapter(i);
                const std::string node =
                    testbed.AddAdapter(*usbId, adapter.Folder(), [&adapter](int pipe) { adapter.StallPipe(pipe); });
                std::cerr << "adapter-emu: adapter " << i << " is USB device " << adapter_emu::usb::ToString(*usbId)
                          << " at " << node << "\n";
            }
            code = adapter_emu::usb::RunEmulatedProgram(program, testbed.RootDir(), *usbId, signals);
        } catch (const std::exception& e) {
            std::cerr << "adapter-emu: " << e.what() << "\n";
        }
        emulator.Stop();
        if (!temporary.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(temporary, ec);
        }
        std::cerr << "adapter-emu: stopped (" << program.front() << " exited with " << code << ")\n";
        return code;
    }
    int received = 0;
    sigwait(&signals, &received);
    emulator.Stop();
    std::cerr << "adapter-emu: stopped (" << strsignal(received) << ")\n";
    return 0;
}
