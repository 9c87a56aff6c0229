#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"

namespace {

const char* kUsage =
    "Usage: norvanectl COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  run FILE.kld [--seconds N]  load a network file, start every master, print slave status\n"
    "                              changes and log lines until Ctrl-C/SIGTERM or N seconds\n"
    "  eds FILE.eds                show the identity, I/O entries and parameters of an EDS file\n"
    "  search FILE.kld [--master N] [--from ADDR] [--timeout MS] [--add OUT.kld]\n"
    "                              find the slaves on a master's bus that the file does not have\n"
    "  report FILE.kld [-o OUT.html|OUT.pdf] [--live]\n"
    "                              the network report: masters, slaves, sizes, parameters\n"
    "  export FILE.kld [--json]    every field of the network file as stable, sorted text\n"
    "  diff A.kld B.kld            what changed from network file A to B, in words\n"
    "  params FILE.kld --slave N [--master M] --compare\n"
    "                              the slave's parameters in the device against the file\n"
    "  commission FILE.kld [--master N] --mac ADDR --new-mac ADDR [--baud RATE] [--timeout MS]\n"
    "                              give the device at ADDR a new MAC ID (and baud rate)\n"
    "\n"
    "Use 'norvanectl COMMAND --help' for the command's details.\n";

const char* kRunUsage =
    "Usage: norvanectl run FILE.kld [--seconds N]\n"
    "\n"
    "Loads the network file, starts every master and prints each slave's status when it changes\n"
    "and every information-log line (time, level, text). Stops all masters cleanly on SIGINT or\n"
    "SIGTERM, or after N seconds with --seconds.\n"
    "Exit status: 0 all masters started, 1 a master could not start, 2 bad arguments or file.\n";

const char* kEdsUsage =
    "Usage: norvanectl eds FILE.eds\n"
    "\n"
    "Prints the device identity, the IO_Info connections and entries, and the parameters of an\n"
    "EDS file as tables. Exit status 2 when the file cannot be read.\n";

const char* kSearchUsage =
    "Usage: norvanectl search FILE.kld [--master N] [--from ADDR] [--timeout MS] [--add OUT.kld]\n"
    "\n"
    "Searches master N of the network file (in file order, default 1) at every address from ADDR\n"
    "(0..63, default 0) to 63 that neither the master nor a configured slave uses, and prints one\n"
    "line per slave found: address, vendor, device type, product code, revision and EDS name.\n"
    "--timeout: the response time-out of each request, 100..30000 ms (default 2000).\n"
    "--add: writes the network with the found slaves added, configured from their EDS files.\n"
    "Ctrl-C/SIGTERM stops the search. Exit status: 0 done, 1 the master could not be opened or the\n"
    "output not written, 2 bad arguments or file.\n";

const char* kReportUsage =
    "Usage: norvanectl report FILE.kld [-o OUT.html|OUT.pdf] [--live]\n"
    "\n"
    "Writes the network report in the program's language: each master's card, channel, baud rate,\n"
    "address, retry and timing settings; a table of its slaves (address, name, vendor and product,\n"
    "EDS file and revision, connections with sizes and rates), the input and output byte totals;\n"
    "and each slave's stored parameters beside the EDS defaults, changed ones marked.\n"
    "Without -o the HTML goes to standard output. -o writes OUT.html (self-contained) or OUT.pdf\n"
    "(A4); the file is replaced whole or not at all.\n"
    "--live: starts each master for a moment and adds each slave's status; an identity that differs\n"
    "from the configured one is flagged, a device that does not answer makes a partial report.\n"
    "Exit status: 0 written, 1 output not written or partial report, 2 bad arguments or file.\n";

const char* kExportUsage =
    "Usage: norvanectl export FILE.kld [--json]\n"
    "\n"
    "Prints every field the network file holds as '[master TYPE/INDEX/CHANNEL]' and\n"
    "'[slave TYPE/INDEX/CHANNEL MAC]' sections of 'Key = value' lines, masters and slaves sorted,\n"
    "EDS paths relative to the file's folder. The same file always gives the same bytes, so the\n"
    "output suits 'git diff' (textconv). --json prints the same as JSON.\n"
    "Exit status: 0 done, 2 bad arguments or file.\n";

const char* kDiffUsage =
    "Usage: norvanectl diff A.kld B.kld\n"
    "\n"
    "Prints, one line each, the masters and slaves added or removed from A to B and every changed\n"
    "field with its old and new value.\n"
    "Exit status: 0 equal, 1 different, 2 bad arguments or file.\n";

const char* kParamsUsage =
    "Usage: norvanectl params FILE.kld --slave N [--master M] --compare\n"
    "\n"
    "Reads every parameter of slave N (MAC ID 0..63) of master M (position in the file, default 1)\n"
    "from the device and prints each one whose value differs from the value stored for it, both\n"
    "shown scaled with their units:\n"
    "  parameter 1 \"Accel Time\": file 1.00 s, device 2.50 s\n"
    "Exit status: 0 all equal, 1 any differs, 2 bad arguments or file, no parameters, the master\n"
    "could not be opened, or a parameter could not be read (a partial compare, named on stderr).\n";

const char* kCommissionUsage =
    "Usage: norvanectl commission FILE.kld [--master N] --mac ADDR --new-mac ADDR [--baud RATE]\n"
    "                             [--timeout MS]\n"
    "\n"
    "Commissions the device at address ADDR (--mac, 0..63) on the bus of master N of the\n"
    "network file (in file order, default 1), which must not be running: reads its identity, sets its\n"
    "MAC ID to --new-mac and, with --baud (125K, 250K or 500K), its baud rate, which it takes at the\n"
    "reset that follows; then reads its serial number at the new address. Prints one line per step.\n"
    "Refused before anything is sent to the device when the new address is the master's, a\n"
    "configured slave's or answered by a device on the bus. The network file is not changed.\n"
    "--timeout: the response time-out of each request, 100..30000 ms (default 2000).\n"
    "Ctrl-C/SIGTERM cancels before the next step. Exit status: 0 the device answered at its new\n"
    "address, 1 refused or a step failed, 2 bad arguments or file.\n";

int UsageError(const std::string& message) {
    std::cerr << "norvanectl: " << message << " (see 'norvanectl --help')" << std::endl;
    return kExitUsage;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// A whole number of at most 9 digits within min..max.
std::optional<uint32_t> Number(const std::string& text, uint32_t min, uint32_t max) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(text);
    if (value < min || value > max) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// An argument that is no option of the command: the network file, which may be given once.
// Returns the exit code of a usage error, nothing when the argument was taken.
std::optional<int> TakeNetworkFile(const std::string& arg, std::string& networkFile) {
    if (!arg.empty() && arg[0] == '-') return UsageError("unknown option '" + arg + "'");
    if (!networkFile.empty()) return UsageError("more than one network file given");
    networkFile = arg;
    return std::nullopt;
}

int ParseRun(const std::vector<std::string>& rest) {
    RunOptions options;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (IsHelp(arg)) {
            std::cout << kRunUsage;
            return kExitOk;
        }
        if (arg == "--seconds") {
            if (i + 1 >= rest.size()) return UsageError("--seconds needs a number");
            const std::string& value = rest[++i];
            auto n = Number(value, 0, 999999999);
            if (!n) return UsageError("--seconds needs a whole number of seconds, not '" + value + "'");
            options.seconds = *n;
        } else if (auto error = TakeNetworkFile(arg, options.networkFile)) {
            return *error;
        }
    }
    if (options.networkFile.empty()) return UsageError("run needs a network file");
    return RunNetwork(options);
}

int ParseSearch(const std::vector<std::string>& rest) {
    SearchCommandOptions options;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (IsHelp(arg)) {
            std::cout << kSearchUsage;
            return kExitOk;
        }
        if (arg == "--master" || arg == "--from" || arg == "--timeout" || arg == "--add") {
            if (i + 1 >= rest.size()) return UsageError(arg + " needs a value");
            const std::string& value = rest[++i];
            if (arg == "--add") {
                options.addTo = value;
            } else if (arg == "--master") {
                auto n = Number(value, 1, 999);
                if (!n) return UsageError("--master needs the position of a master from 1, not '" + value + "'");
                options.master = *n;
            } else if (arg == "--from") {
                auto n = Number(value, 0, 63);
                if (!n) return UsageError("--from needs an address 0..63, not '" + value + "'");
                options.from = *n;
            } else {
                auto n = Number(value, 100, 30000);
                if (!n) return UsageError("--timeout needs 100..30000 ms, not '" + value + "'");
                options.timeoutMs = *n;
            }
        } else if (auto error = TakeNetworkFile(arg, options.networkFile)) {
            return *error;
        }
    }
    if (options.networkFile.empty()) return UsageError("search needs a network file");
    return SearchNetwork(options);
}

int ParseReport(const std::vector<std::string>& rest) {
    ReportOptions options;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (IsHelp(arg)) {
            std::cout << kReportUsage;
            return kExitOk;
        }
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= rest.size()) return UsageError(arg + " needs an output file");
            const std::string& value = rest[++i];
            if (!IsHtmlReportPath(value) && !IsPdfReportPath(value)) {
                return UsageError(arg + " needs a file ending in .html or .pdf, not '" + value + "'");
            }
            options.output = value;
        } else if (arg == "--live") {
            options.live = true;
        } else if (auto error = TakeNetworkFile(arg, options.networkFile)) {
            return *error;
        }
    }
    if (options.networkFile.empty()) return UsageError("report needs a network file");
    return ReportNetwork(options);
}

int ParseExport(const std::vector<std::string>& rest) {
    std::string networkFile;
    bool json = false;
    for (const std::string& arg : rest) {
        if (IsHelp(arg)) {
            std::cout << kExportUsage;
            return kExitOk;
        }
        if (arg == "--json") {
            json = true;
        } else if (auto error = TakeNetworkFile(arg, networkFile)) {
            return *error;
        }
    }
    if (networkFile.empty()) return UsageError("export needs a network file");
    return ExportNetwork(networkFile, json);
}

int ParseDiff(const std::vector<std::string>& rest) {
    std::vector<std::string> files;
    for (const std::string& arg : rest) {
        if (IsHelp(arg)) {
            std::cout << kDiffUsage;
            return kExitOk;
        }
        if (!arg.empty() && arg[0] == '-') return UsageError("unknown option '" + arg + "'");
        files.push_back(arg);
    }
    if (files.size() != 2) return UsageError("diff needs two network files");
    return DiffNetworkFiles(files[0], files[1]);
}

int ParseParams(const std::vector<std::string>& rest) {
    ParamsCommandOptions options;
    bool compare = false;
    bool slaveGiven = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (IsHelp(arg)) {
            std::cout << kParamsUsage;
            return kExitOk;
        }
        if (arg == "--slave" || arg == "--master") {
            if (i + 1 >= rest.size()) return UsageError(arg + " needs a value");
            const std::string& value = rest[++i];
            if (arg == "--slave") {
                auto n = Number(value, 0, 63);
                if (!n) return UsageError("--slave needs an address 0..63, not '" + value + "'");
                options.slave = *n;
                slaveGiven = true;
            } else {
                auto n = Number(value, 1, 999);
                if (!n) return UsageError("--master needs the position of a master from 1, not '" + value + "'");
                options.master = *n;
            }
        } else if (arg == "--compare") {
            compare = true;
        } else if (auto error = TakeNetworkFile(arg, options.networkFile)) {
            return *error;
        }
    }
    if (options.networkFile.empty()) return UsageError("params needs a network file");
    if (!slaveGiven) return UsageError("params needs --slave N");
    if (!compare) return UsageError("params needs --compare");
    return CompareSlaveParameters(options);
}

int ParseCommission(const std::vector<std::string>& rest) {
    CommissionCommandOptions options;
    bool haveMac = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (IsHelp(arg)) {
            std::cout << kCommissionUsage;
            return kExitOk;
        }
        if (arg == "--master" || arg == "--mac" || arg == "--new-mac" || arg == "--baud" || arg == "--timeout") {
            if (i + 1 >= rest.size()) return UsageError(arg + " needs a value");
            const std::string& value = rest[++i];
            if (arg == "--baud") {
                options.baud = value;
            } else if (arg == "--master") {
                auto n = Number(value, 1, 999);
                if (!n) return UsageError("--master needs the position of a master from 1, not '" + value + "'");
                options.master = *n;
            } else if (arg == "--mac" || arg == "--new-mac") {
                auto n = Number(value, 0, 63);
                if (!n) return UsageError(arg + " needs an address 0..63, not '" + value + "'");
                if (arg == "--mac") {
                    options.mac = *n;
                    haveMac = true;
                } else {
                    options.newMac = *n;
                }
            } else {
                auto n = Number(value, 100, 30000);
                if (!n) return UsageError("--timeout needs 100..30000 ms, not '" + value + "'");
                options.timeoutMs = *n;
            }
        } else if (auto error = TakeNetworkFile(arg, options.networkFile)) {
            return *error;
        }
    }
    if (options.networkFile.empty()) return UsageError("commission needs a network file");
    if (!haveMac) return UsageError("commission needs --mac");
    if (!options.newMac) return UsageError("commission needs --new-mac");
    return CommissionNode(options);
}

}  // namespace

int NorvaneCtlMain(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError("missing command");
    const std::string& command = args[0];
    if (IsHelp(command)) {
        std::cout << kUsage;
        return kExitOk;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "run") return ParseRun(rest);
    if (command == "eds") {
        std::string path;
        for (const std::string& arg : rest) {
            if (IsHelp(arg)) {
                std::cout << kEdsUsage;
                return kExitOk;
            }
            if (!arg.empty() && arg[0] == '-') return UsageError("unknown option '" + arg + "'");
            if (!path.empty()) return UsageError("more than one EDS file given");
            path = arg;
        }
        if (path.empty()) return UsageError("eds needs an EDS file");
        return ShowEds(path);
    }
    if (command == "search") return ParseSearch(rest);
    if (command == "report") return ParseReport(rest);
    if (command == "export") return ParseExport(rest);
    if (command == "diff") return ParseDiff(rest);
    if (command == "params") return ParseParams(rest);
    if (command == "commission") return ParseCommission(rest);
    return UsageError("unknown command '" + command + "'");
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return NorvaneCtlMain(args);
}
