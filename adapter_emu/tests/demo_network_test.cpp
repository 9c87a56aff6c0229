// The bundled demo network: its EDS files describe the devices of bus.xml (identity, the default
// connection and its sizes, the drive's parameters).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "adapter_emu/bus_description.h"

using namespace adapter_emu;

namespace {

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// Sections of an EDS file: comments ($ to the line end) dropped, entries end at ';', blanks
// outside quotes dropped.
Sections ReadEds(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    Sections s;
    std::string section, entry;
    bool quoted = false, comment = false;
    for (char c : text) {
        if (comment) {
            if (c == '\n' || c == '\r') comment = false;
            continue;
        }
        if (!quoted && c == '$') {
            comment = true;
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) continue;
        if (!quoted && c == ']' && !entry.empty() && entry[0] == '[') {
            section = entry.substr(1);
            entry.clear();
            continue;
        }
        if (!quoted && c == ';') {
            const auto eq = entry.find('=');
            if (eq != std::string::npos) s[section][entry.substr(0, eq)] = entry.substr(eq + 1);
            entry.clear();
            continue;
        }
        entry.push_back(c);
    }
    return s;
}

std::vector<std::string> Fields(const std::string& value) {
    std::vector<std::string> f;
    std::string cur;
    bool quoted = false;
    for (char c : value) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            f.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    f.push_back(cur);
    return f;
}

TEST(DemoNetworkTest, EdsFilesMatchTheBus) {
    const std::filesystem::path root = std::filesystem::path(std::getenv("NORVANE_SOURCE_DIR")) / "resources/demo";
    BusDescription bus = LoadBusFile(root / "bus.xml");
    const std::map<int, std::string> files = {{1, "nd_dio_16_8.eds"}, {2, "nd_ps20.eds"}, {3, "nd_ai4.eds"},
                                              {4, "nd_vf400.eds"},    {5, "nd_vm8.eds"},  {6, "nd_tt1.eds"}};
    const char* infoKeys[4] = {"StrobeInfo", "PollInfo", "COSInfo", "CyclicInfo"};
    for (const SlaveDescription& slave : bus.slaves) {
        ASSERT_TRUE(files.count(slave.mac)) << int(slave.mac);
        Sections eds = ReadEds(root / "eds" / files.at(slave.mac));
        const std::string name = files.at(slave.mac);
        for (const char* section : {"File", "Device", "IO_Info"}) EXPECT_TRUE(eds.count(section)) << name;
        auto& dev = eds["Device"];
        EXPECT_EQ(std::stoi(dev["VendCode"]), slave.vendorId) << name;
        EXPECT_EQ(std::stoi(dev["ProdType"]), slave.deviceType) << name;
        EXPECT_EQ(std::stoi(dev["ProdCode"]), slave.productCode) << name;
        EXPECT_EQ(std::stoi(dev["MajRev"]), slave.revisionMajor) << name;
        EXPECT_EQ(std::stoi(dev["MinRev"]), slave.revisionMinor) << name;
        EXPECT_EQ(dev["ProdName"], "\"" + slave.productName + "\"") << name;
        auto& io = eds["IO_Info"];
        for (std::size_t t = 0; t < kConnectionTypes; ++t) {
            const ConnectionSpec& c = slave.connections[t];
            ASSERT_EQ(io.count(infoKeys[t]) == 1, c.used) << name << " " << infoKeys[t];
            if (!c.used) continue;
            auto info = Fields(io[infoKeys[t]]);
            ASSERT_EQ(info.size(), 3u) << name;
            const int in = std::stoi(info[1]), out = std::stoi(info[2]);
            EXPECT_EQ(in ? std::stoi(Fields(io["Input" + std::to_string(in)])[0]) : 0, c.inputSize) << name;
            EXPECT_EQ(out ? std::stoi(Fields(io["Output" + std::to_string(out)])[0]) : 0, c.outputSize) << name;
        }
        // Parameters: number, data type code, size, minimum, maximum, default, read only.
        auto& params = eds["Params"];
        EXPECT_EQ(params.size() - std::count_if(params.begin(), params.end(),
                                                [](const auto& kv) { return kv.first.rfind("Enum", 0) == 0; }),
                  slave.parameters.size())
            << name;
        for (const ParameterSpec& p : slave.parameters) {
            auto f = Fields(params["Param" + std::to_string(p.number)]);
            ASSERT_EQ(f.size(), 21u) << name << " parameter " << p.number;
            EXPECT_EQ(std::stoi(f[4], nullptr, 16), p.type.code) << p.number;
            EXPECT_EQ(std::stoi(f[5]), p.type.size) << p.number;
            EXPECT_EQ(std::stold(f[9]), p.minimum) << p.number;
            EXPECT_EQ(std::stold(f[10]), p.maximum) << p.number;
            EXPECT_EQ((std::stoi(f[3], nullptr, 16) & 0x10) != 0, !p.settable) << p.number;
            EXPECT_EQ(f[6], "\"" + p.name + "\"") << p.number;
        }
    }
}

}  // namespace
