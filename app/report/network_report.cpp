#include "report/network_report.h"

#include <boost/format.hpp>
#include <filesystem>

#include "services/core_services.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "report/network_listing.h"
#include "monitor/parameter_caption.h"
#include "report/report_texts.h"
#include "resources/resource_manager.h"

namespace {

namespace rt = report_text;

// A4 portrait, small type, tables that may break across pages but not inside a row.
constexpr const char* kStyle =
    "@page { size: A4; margin: 15mm; }\n"
    "body { font-family: sans-serif; font-size: 9pt; color: #000; }\n"
    "h1 { font-size: 15pt; margin: 0 0 4pt 0; }\n"
    "h2 { font-size: 12pt; margin: 14pt 0 4pt 0; border-bottom: 1px solid #444; }\n"
    "h3 { font-size: 10pt; margin: 10pt 0 3pt 0; }\n"
    "table { border-collapse: collapse; margin-bottom: 6pt; }\n"
    "th, td { border: 1px solid #888; padding: 2pt 4pt; text-align: left; vertical-align: top; }\n"
    "th { background-color: #e6e6e6; }\n"
    "tr { page-break-inside: avoid; }\n"
    "td.num { text-align: right; }\n"
    "tr.total td { font-weight: bold; background-color: #f2f2f2; }\n"
    "tr.changed td { background-color: #fff2cc; }\n"
    "p.meta { color: #333; margin: 0 0 2pt 0; }\n"
    "p.warn, span.warn { color: #b00000; font-weight: bold; }\n";

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The document being written, with the texts of the report's language.
class Html {
public:
    explicit Html(const ReportInput& input) : input_(input) {}

    // String `id` of the report's language, else the built-in text.
    std::string T(uint32_t id) const {
        std::string text = input_.text ? input_.text(id) : std::string();
        if (!text.empty()) return text;
        const auto& builtin = BuiltinStrings();
        auto it = builtin.find(id);
        return it == builtin.end() ? std::string() : it->second;
    }
    // The same, escaped for HTML.
    std::string E(uint32_t id) const { return Escape(T(id)); }

    std::string out;

    void Cell(const std::string& escaped, const char* cls = nullptr) {
        out += cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
        out += escaped + "</td>";
    }
    void Head(std::initializer_list<std::string> escaped) {
        out += "<tr>";
        for (const std::string& h : escaped) out += "<th>" + h + "</th>";
        out += "</tr>\n";
    }

private:
    const ReportInput& input_;
};

// Sizes of a slave's enabled connections, as the master's scan list uses them.
struct Sizes {
    uint32_t input = 0;
    uint32_t output = 0;
};

bool PollOn(uint8_t flags) { return (flags & 0x03) == 1 || (flags & 0x03) == 2; }
bool StrobeOn(uint8_t flags) { return (flags & 0x03) == 0 || (flags & 0x03) == 2; }
bool CosOn(uint8_t flags) { return (flags & 0x04) != 0; }
bool CyclicOn(uint8_t flags) { return (flags & 0x08) != 0 && (flags & 0x04) == 0; }

Sizes SizesOf(const VARDA_SLAVE_CONFIG& r) {
    Sizes s;
    const uint8_t f = r.ConnectionFlags;
    if (PollOn(f)) {
        s.input += r.PollInputSize;
        s.output += r.PollOutputSize;
    }
    if (StrobeOn(f)) {
        s.input += r.StrobeInputSize;
        s.output += r.StrobeOutputSize;
    }
    if (CosOn(f) || CyclicOn(f)) {
        s.input += r.CosInputSize;
        // With poll the change-of-state/cyclic output shares the poll output buffer.
        if (!PollOn(f)) s.output += r.CosOutputSize;
    }
    return s;
}

std::string ConnectionsText(const Html& h, const VARDA_SLAVE_CONFIG& r) {
    std::string text;
    auto line = [&](const std::string& escaped) { text += (text.empty() ? "" : "<br/>") + escaped; };
    auto inOut = [](uint32_t in, uint32_t out) {
        return std::string(" ") + std::to_string(in) + "/" + std::to_string(out);
    };
    const uint8_t f = r.ConnectionFlags;
    const bool ack = (f & 0x10) == 0;
    if (PollOn(f)) {
        line(h.E(rt::kPoll) + inOut(r.PollInputSize, r.PollOutputSize) + ", " +
             h.E(r.BackgroundPoll ? rt::kIntervalScanPoll : rt::kEveryScan));
    }
    if (StrobeOn(f)) line(h.E(rt::kStrobe) + inOut(r.StrobeInputSize, r.StrobeOutputSize));
    if (CosOn(f) || CyclicOn(f)) {
        const bool cos = CosOn(f);
        std::string s = h.E(cos ? rt::kCos : rt::kCyclic) +
                        inOut(r.CosInputSize, PollOn(f) ? r.PollOutputSize : r.CosOutputSize) + ", " +
                        h.E(cos ? rt::kHeartbeat : rt::kCycleTime) + " " + std::to_string(r.HeartbeatTime) + " ms";
        if (cos) s += ", " + h.E(rt::kInhibit) + " " + std::to_string(r.ProductionInhibitTime) + " ms";
        if (ack) s += ", " + h.E(rt::kAckTimeout) + " " + std::to_string(r.AckTimeout) + " ms";
        line(s);
    }
    if (text.empty()) text = h.E(rt::kNoConnection);
    return text;
}

void Parameters(Html& h, const CSlaveDev& slave, const std::string& baseDir) {
    const SlaveEds& eds = slave.Eds();
    h.out += "<h3>" + h.E(rt::kParameters) + ": " + std::to_string(slave.GetAddress()) + " " +
             Escape(slave.Config().name) + "</h3>\n";
    if (eds.path.empty()) {
        h.out += "<p class=\"warn\">" + h.E(rt::kNoEds) + "</p>\n";
        return;
    }
    if (!eds.description.IsLoaded()) {
        h.out += "<p class=\"warn\">" + h.E(rt::kEdsUnreadable) + ": " + Escape(RelativeEdsPath(eds.path, baseDir)) +
                 "</p>\n";
        return;
    }
    const auto& defaults = eds.description.Params();
    if (eds.parameters.Params().empty()) {
        h.out += "<p>" + h.E(rt::kNoParameters) + "</p>\n";
        return;
    }
    h.out += "<table class=\"params\">\n";
    h.Head({h.E(rt::kNumber), h.E(rt::kName), h.E(rt::kStoredValue), h.E(rt::kEdsDefault), ""});
    for (const auto& [number, entry] : eds.parameters.Params()) {
        const DeviceNetEDS::ParamEntry& edsEntry = defaults.GetParam(number);
        const bool differs = entry.defaultValue != edsEntry.defaultValue;
        h.out += differs ? "<tr class=\"changed\">" : "<tr>";
        h.Cell(std::to_string(number), "num");
        h.Cell(Escape(entry.name));
        h.Cell(Escape(ParameterCaption(entry, eds.description, number, entry.defaultValue)));
        h.Cell(Escape(ParameterCaption(edsEntry, eds.description, number, edsEntry.defaultValue)));
        h.Cell(differs ? "*" : "");
        h.out += "</tr>\n";
    }
    h.out += "</table>\n<p class=\"meta\">" + h.E(rt::kDiffersNote) + "</p>\n";
}

std::string RevisionText(const CEDSFile& eds) {
    return (boost::format("%d.%03d") % eds.Device().MajRev() % eds.Device().MinRev()).str();
}

void Setting(Html& h, uint32_t label, const std::string& value) {
    h.out += "<tr><th>" + h.E(label) + "</th>";
    h.Cell(Escape(value));
    h.out += "</tr>\n";
}

void Master(Html& h, const ReportInput& input, const CServerDev& master, const std::string& baseDir, bool& partial) {
    std::string name;
    master.GetName(name);
    const VARDA_INIT_PARAM r = master.Config().Record();
    const uint32_t type = master.Card()->DeviceType();
    const uint32_t index = master.Card()->DeviceIndex();
    const std::string key = std::to_string(type) + "/" + std::to_string(index) + "/" + std::to_string(master.Channel());

    h.out += "<h2>" + h.E(rt::kMaster) + ": " + Escape(name) + "</h2>\n<table class=\"settings\">\n";
    const std::string typeName = netsvc::DeviceTypeName(type);
    Setting(h, rt::kCard,
            (typeName.empty() ? "" : typeName + " ") + "(" + std::to_string(type) + "/" + std::to_string(index) + ")");
    Setting(h, rt::kChannel, std::to_string(master.Channel()));
    Setting(h, rt::kBaudRate, netsvc::BaudName(r.BaudRate));
    Setting(h, rt::kAddress, std::to_string(r.MacId));
    Setting(h, rt::kScanDelay, std::to_string(r.ScanDelay));
    Setting(h, rt::kIntervalScan, std::to_string(r.IntervalScanCycle));
    Setting(h, rt::kPacketRate, std::to_string(r.ExpectedPacketRate));
    Setting(h, rt::kRetryCount, std::to_string(r.RetryCount));
    Setting(h, rt::kOptions, std::to_string(r.Option1) + "/" + std::to_string(r.Option2));
    Setting(h, rt::kAutoMapSize, std::to_string(r.AutoMapSize));
    h.out += "</table>\n";

    const int count = master.GetChildCount();
    h.out += "<h3>" + h.E(rt::kSlaves) + "</h3>\n";
    if (count == 0) {
        h.out += "<p>" + h.E(rt::kNoSlaves) + "</p>\n";
        return;
    }
    const bool live = input.live.has_value();
    h.out += "<table class=\"slaves\">\n";
    if (live) {
        h.Head({h.E(rt::kAddress), h.E(rt::kName), h.E(rt::kVendor), h.E(rt::kProduct), h.E(rt::kEdsFile),
                h.E(rt::kConnections), h.E(rt::kInputBytes), h.E(rt::kOutputBytes), h.E(rt::kStatus)});
    } else {
        h.Head({h.E(rt::kAddress), h.E(rt::kName), h.E(rt::kVendor), h.E(rt::kProduct), h.E(rt::kEdsFile),
                h.E(rt::kConnections), h.E(rt::kInputBytes), h.E(rt::kOutputBytes)});
    }
    Sizes total;
    for (int i = 0; i < count; ++i) {
        const CSlaveDev& slave = *master.GetChild(i);
        const VARDA_SLAVE_CONFIG r2 = slave.Config().record.Record();
        const SlaveEds& eds = slave.Eds();
        const bool loaded = !eds.path.empty() && eds.description.IsLoaded();
        const Sizes sizes = SizesOf(r2);
        total.input += sizes.input;
        total.output += sizes.output;
        h.out += "<tr>";
        h.Cell(std::to_string(slave.GetAddress()), "num");
        h.Cell(Escape(slave.Config().name));
        std::string vendor = loaded ? Escape(eds.description.Device().VendName()) + " " : std::string();
        h.Cell(vendor + "(" + std::to_string(r2.VendorId) + ")");
        std::string product = loaded ? Escape(eds.description.Device().ProdName()) + "<br/>" : std::string();
        product += std::to_string(r2.ProductType) + "/" + std::to_string(r2.ProductCode);
        if (loaded) product += ", " + h.E(rt::kRevision) + " " + RevisionText(eds.description);
        h.Cell(product);
        std::string file;
        if (eds.path.empty()) {
            file = "<span class=\"warn\">" + h.E(rt::kNoEdsFile) + "</span>";
        } else {
            file = Escape(RelativeEdsPath(eds.path, baseDir));
            if (loaded) {
                const std::string revision = eds.description.File().Revision();
                if (!revision.empty()) file += "<br/>" + h.E(rt::kRevision) + " " + Escape(revision);
            } else {
                file += "<br/><span class=\"warn\">" + h.E(rt::kEdsUnreadable) + "</span>";
            }
        }
        h.Cell(file);
        h.Cell(ConnectionsText(h, r2));
        h.Cell(std::to_string(sizes.input), "num");
        h.Cell(std::to_string(sizes.output), "num");
        if (live) {
            auto it = input.live->find({key, static_cast<uint32_t>(slave.GetAddress())});
            std::string status;
            if (it == input.live->end() || !it->second.answered) {
                partial = true;
                if (it != input.live->end()) status = Escape(it->second.status) + "<br/>";
                status += "<span class=\"warn\">" + h.E(rt::kNoAnswer) + "</span>";
            } else {
                status = Escape(it->second.status);
                if (IdentityDiffers(r2.VendorId, r2.ProductType, r2.ProductCode, it->second)) {
                    status += "<br/><span class=\"warn\">" + h.E(rt::kIdentityDiffers) + ": " +
                              std::to_string(it->second.vendorId) + "/" + std::to_string(it->second.deviceType) + "/" +
                              std::to_string(it->second.productCode) + "</span>";
                }
            }
            h.Cell(status);
        }
        h.out += "</tr>\n";
    }
    h.out += "<tr class=\"total\"><td colspan=\"6\">" + h.E(rt::kTotal) + "</td>";
    h.Cell(std::to_string(total.input), "num");
    h.Cell(std::to_string(total.output), "num");
    if (live) h.Cell("");
    h.out += "</tr>\n</table>\n";

    for (int i = 0; i < count; ++i) Parameters(h, *master.GetChild(i), baseDir);
}

}  // namespace

bool IdentityDiffers(uint32_t configuredVendor, uint32_t configuredType, uint32_t configuredCode,
                     const LiveSlave& live) {
    auto differs = [](uint32_t configured, uint32_t actual) { return configured != 0 && configured != actual; };
    return differs(configuredVendor, live.vendorId) || differs(configuredType, live.deviceType) ||
           differs(configuredCode, live.productCode);
}

std::string BuildNetworkReport(const ReportInput& input) {
    Html h(input);
    std::string language = h.T(rt::kLanguage);
    if (language.empty()) language = "zh";
    const std::string title = h.E(rt::kTitle);
    h.out = "<!DOCTYPE html>\n<html lang=\"" + Escape(language) + "\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
            title + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n";
    if (!input.networkFile.empty()) {
        h.out += "<p class=\"meta\">" + h.E(rt::kNetworkFile) + ": " + Escape(input.networkFile) + "</p>\n";
    }
    if (!input.created.empty())
        h.out += "<p class=\"meta\">" + h.E(rt::kCreated) + ": " + Escape(input.created) + "</p>\n";
    if (input.live) h.out += "<p class=\"meta\">" + h.E(rt::kLiveNote) + "</p>\n";
    const std::size_t partialNoticeAt = h.out.size();

    std::string baseDir;
    if (!input.networkFile.empty()) {
        std::error_code ec;
        baseDir = std::filesystem::absolute(input.networkFile, ec).parent_path().string();
    }
    bool partial = false;
    const auto masters = input.network ? input.network->Masters() : std::vector<CServerDev*>{};
    if (masters.empty()) h.out += "<p>" + h.E(rt::kNoMasters) + "</p>\n";
    for (const CServerDev* master : masters) Master(h, input, *master, baseDir, partial);
    if (partial) h.out.insert(partialNoticeAt, "<p class=\"warn\">" + h.E(rt::kPartial) + "</p>\n");
    h.out += "</body>\n</html>\n";
    return h.out;
}
