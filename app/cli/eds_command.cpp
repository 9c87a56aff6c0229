// norvanectl eds: the identity, I/O entries and parameters of an EDS file as tables.
#include <boost/format.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands.h"
#include "eds/eds_file.h"
#include "text_table.h"

namespace {

std::string Hex(uint32_t value, int digits = 4) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

std::string Number(double value) { return (boost::format("%g") % value).str(); }

}  // namespace

int ShowEds(const std::string& path) {
    std::error_code ec;
    CEDSFile eds;
    if (!std::filesystem::is_regular_file(path, ec) || eds.Load(path) == 0) {
        std::cerr << "norvanectl: cannot read EDS file '" << path << "'" << std::endl;
        return kExitUsage;
    }
    std::ostream& out = std::cout;
    const auto& device = eds.Device();
    out << "EDS file " << path << "\n\nIdentity\n";
    TextTable identity({"Entry", "Value"});
    identity.AddRow({"VendCode", std::to_string(device.VendCode())});
    identity.AddRow({"VendName", device.VendName()});
    identity.AddRow({"ProdType", std::to_string(device.ProdType())});
    identity.AddRow({"ProdTypeStr", device.ProdTypeStr()});
    identity.AddRow({"ProdCode", std::to_string(device.ProdCode())});
    identity.AddRow({"Revision", (boost::format("%d.%03d") % device.MajRev() % device.MinRev()).str()});
    identity.AddRow({"ProdName", device.ProdName()});
    identity.AddRow({"Catalog", device.Catalog()});
    identity.AddRow({"DescText", eds.File().DescText()});
    identity.Print(out);

    using IO = DeviceNetEDS::CIO_InfoInfo;
    const IO& io = eds.IOInfo();
    out << "\nIO_Info (Default " << Hex(io.SupportedConnections()) << ")\n";
    TextTable connections({"Connection", "Mask", "Input", "Output"});
    for (int c = 0; c < IO::kConnectionCount; ++c) {
        const auto& info = io.GetConnection(static_cast<IO::Connection>(c));
        if (info.valid == 0) continue;
        connections.AddRow({IO::kConnectionKeys[static_cast<std::size_t>(c)], Hex(info.compatibleConnections),
                            "Input" + std::to_string(info.defaultInput),
                            "Output" + std::to_string(info.defaultOutput)});
    }
    if (connections.RowCount() == 0) {
        out << "  (no connections)\n";
    } else {
        connections.Print(out);
    }
    TextTable entries({"Entry", "Size", "Bits", "Mask", "Name", "Path", "Help"});
    auto addEntries = [&](const std::map<int32_t, DeviceNetEDS::IoEntry>& map) {
        for (const auto& [number, entry] : map) {
            entries.AddRow({entry.kind + std::to_string(number), std::to_string(entry.size),
                            std::to_string(entry.significantBits), Hex(entry.connectionMask), entry.name,
                            entry.pathText, entry.help});
        }
    };
    addEntries(io.Inputs());
    addEntries(io.Outputs());
    if (entries.RowCount() > 0) {
        out << '\n';
        entries.Print(out);
    }

    const auto& params = eds.Params().Params();
    out << "\nParameters (" << params.size() << ")\n";
    if (!params.empty()) {
        TextTable table({"No", "Name", "Type", "Size", "Min", "Max", "Default", "Units", "Path"});
        for (const auto& [number, p] : params) {
            table.AddRow({std::to_string(number), p.name, Hex(static_cast<uint32_t>(p.dataType), 2),
                          std::to_string(p.dataSize), Number(p.minimum), Number(p.maximum), Number(p.defaultValue),
                          p.units, p.linkPathText});
        }
        table.Print(out);
    }
    out.flush();
    return kExitOk;
}
