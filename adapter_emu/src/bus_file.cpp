#include <tinyxml2.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "adapter_emu/bus_description.h"
#include "cip/value_coding.h"
#include "eds_slave.h"

namespace adapter_emu {

namespace {

// Serial number of a slave whose bus entry gives none.
uint32_t DefaultSerial(uint8_t mac) { return 0x00E00000u + mac; }

class Reader {
public:
    Reader(std::string source, std::filesystem::path baseDir)
        : source_(std::move(source)), baseDir_(std::move(baseDir)) {}

    [[noreturn]] void Fail(int line, const std::string& what) const {
        std::ostringstream s;
        s << source_;
        if (line > 0) s << ":" << line;
        s << ": ";
        // One line, whatever the file holds.
        for (char c : what) {
            if (c == '\n') {
                s << "\\n";
            } else if (c == '\r' || c == '\t') {
                s << ' ';
            } else {
                s << c;
            }
        }
        throw BusFileError(s.str());
    }

    // Attributes of one element, with a check that no unknown attribute is present.
    class Element {
    public:
        Element(const Reader& r, const tinyxml2::XMLElement* e, std::string context,
                std::initializer_list<std::string_view> allowed)
            : r_(r), e_(e), context_(std::move(context)) {
            for (const tinyxml2::XMLAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
                if (std::find(allowed.begin(), allowed.end(), std::string_view(a->Name())) == allowed.end()) {
                    Fail("unknown attribute \"" + std::string(a->Name()) + "\"");
                }
            }
        }
        [[noreturn]] void Fail(const std::string& what) const { r_.Fail(e_->GetLineNum(), context_ + what); }
        int Line() const { return e_->GetLineNum(); }
        std::optional<std::string> Text(const char* name) const {
            const char* v = e_->Attribute(name);
            if (!v) return std::nullopt;
            return std::string(v);
        }
        std::string Required(const char* name) const {
            auto v = Text(name);
            if (!v) Fail("attribute \"" + std::string(name) + "\" is missing");
            return *v;
        }
        uint64_t Unsigned(const char* name, uint64_t max, std::optional<uint64_t> fallback = std::nullopt) const {
            auto v = Text(name);
            if (!v) {
                if (fallback) return *fallback;
                Fail("attribute \"" + std::string(name) + "\" is missing");
            }
            errno = 0;
            char* end = nullptr;
            if (v->empty() || (*v)[0] == '-' || (*v)[0] == '+') Fail(BadValue(name, *v, max));
            unsigned long long n = std::strtoull(v->c_str(), &end, 0);
            if (errno != 0 || *end != '\0' || n > max) Fail(BadValue(name, *v, max));
            return n;
        }
        bool Flag(const char* name, bool fallback) const {
            auto v = Text(name);
            if (!v) return fallback;
            if (*v == "true" || *v == "yes" || *v == "1") return true;
            if (*v == "false" || *v == "no" || *v == "0") return false;
            Fail(name + std::string(" must be true or false, not \"") + *v + "\"");
        }
        double Seconds(const char* name) const {
            std::string v = Required(name);
            char* end = nullptr;
            double d = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !std::isfinite(d) || d < 0 || d > 4.0e6) {
                Fail(std::string(name) + " must be a number of seconds, not \"" + v + "\"");
            }
            return d;
        }

    private:
        static std::string BadValue(const char* name, const std::string& v, uint64_t max) {
            return std::string(name) + " must be a number from 0 to " + std::to_string(max) + ", not \"" + v + "\"";
        }
        const Reader& r_;
        const tinyxml2::XMLElement* e_;
        std::string context_;
    };

    static std::optional<std::vector<uint8_t>> ParseHex(const std::string& text) {
        std::vector<uint8_t> out;
        std::string digits;
        for (char c : text) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',') continue;
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
            digits.push_back(c);
        }
        if (digits.size() % 2 != 0) return std::nullopt;
        for (std::size_t i = 0; i < digits.size(); i += 2) {
            out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        }
        return out;
    }

    BusDescription Read(std::string_view text) {
        tinyxml2::XMLDocument doc;
        if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
            const char* why = doc.ErrorStr();
            Fail(doc.ErrorLineNum(), std::string("not well-formed XML (") + (why ? why : "parse error") + ")");
        }
        const tinyxml2::XMLElement* root = doc.RootElement();
        if (!root || std::string_view(root->Name()) != "bus") {
            Fail(root ? root->GetLineNum() : 0, "the root element must be <bus>");
        }
        [[maybe_unused]] const Element checked(*this, root, "<bus>: ", {"name"});  // its attributes only
        BusDescription bus;
        bus.source = source_;
        std::set<int> macs;
        for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
            if (std::string_view(e->Name()) != "slave") {
                Fail(e->GetLineNum(), "unknown element <" + std::string(e->Name()) + "> in <bus> (only <slave>)");
            }
            SlaveDescription s = ReadSlave(e);
            // A second device at a MAC ID is almost always a typing mistake; a bus that is meant
            // to show a duplicate MAC ID says so on the later device.
            const bool taken = !macs.insert(s.mac).second;
            if (!taken && s.duplicateMac) {
                Fail(e->GetLineNum(), "slave " + std::to_string(s.mac) +
                                          ": duplicate-mac=\"true\" but no slave before it has that MAC ID");
            }
            if (taken && !s.duplicateMac) {
                Fail(e->GetLineNum(),
                     "slave MAC ID " + std::to_string(s.mac) +
                         " is used twice (duplicate-mac=\"true\" on the later one simulates a duplicate)");
            }
            bus.slaves.push_back(std::move(s));
        }
        return bus;
    }

private:
    SlaveDescription ReadSlave(const tinyxml2::XMLElement* e) {
        Element se(*this, e, "<slave>: ", {"mac", "name", "eds", "duplicate-mac", "switches", "baud"});
        SlaveDescription s;
        s.line = e->GetLineNum();
        s.mac = static_cast<uint8_t>(se.Unsigned("mac", 63));
        s.duplicateMac = se.Flag("duplicate-mac", false);
        if (auto switches = se.Text("switches")) {
            if (*switches != "fixed" && *switches != "network") {
                se.Fail("switches must be fixed or network, not \"" + *switches + "\"");
            }
            s.fixedSwitches = *switches == "fixed";
        }
        if (auto baud = se.Text("baud")) {
            if (*baud == "125K") {
                s.baudRate = 0;
            } else if (*baud == "250K") {
                s.baudRate = 1;
            } else if (*baud == "500K") {
                s.baudRate = 2;
            } else {
                se.Fail("baud must be 125K, 250K or 500K, not \"" + *baud + "\"");
            }
        }
        const std::string ctx = "slave " + std::to_string(s.mac) + ": ";
        s.name = se.Text("name").value_or("");
        bool haveIdentity = false;
        std::set<uint16_t> params;
        for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
            const std::string_view n = c->Name();
            if (n == "identity") {
                if (haveIdentity) Fail(c->GetLineNum(), ctx + "<identity> is given twice");
                haveIdentity = true;
                ReadIdentity(Element(*this, c, ctx + "<identity>: ",
                                     {"vendor-id", "device-type", "product-code", "revision", "serial", "product-name",
                                      "status"}),
                             s);
            } else if (n == "strobe" || n == "poll" || n == "cos" || n == "cyclic") {
                const std::size_t type = n == "strobe" ? 0 : n == "poll" ? 1 : n == "cos" ? 2 : 3;
                if (s.connections[type].used) Fail(c->GetLineNum(), ctx + "<" + std::string(n) + "> is given twice");
                s.connections[type] = ReadConnection(
                    Element(*this, c, ctx + "<" + std::string(n) + ">: ", {"input", "output", "inputs", "data"}));
            } else if (n == "parameter") {
                ParameterSpec p = ReadParameter(c, ctx);
                if (!params.insert(p.number).second) {
                    Fail(c->GetLineNum(), ctx + "parameter " + std::to_string(p.number) + " is given twice");
                }
                s.parameters.push_back(std::move(p));
            } else if (n == "attribute") {
                s.attributes.push_back(ReadAttribute(c, ctx));
            } else if (n == "fault") {
                ReadFault(Element(*this, c, ctx + "<fault>: ", {"type", "after", "delay"}), s);
            } else {
                Fail(c->GetLineNum(), ctx + "unknown element <" + std::string(n) + ">");
            }
        }
        if (auto eds = se.Text("eds")) {
            // Relative names are read beside the bus file.
            std::filesystem::path path(*eds);
            if (path.is_relative()) path = baseDir_ / path;
            if (!haveIdentity) s.serialNumber = DefaultSerial(s.mac);
            try {
                ApplyEdsFile(path, s, !haveIdentity);
            } catch (const EdsSlaveError& error) {
                Fail(s.line, ctx + "eds \"" + *eds + "\": " + error.what());
            }
            haveIdentity = true;
        }
        if (!haveIdentity) Fail(s.line, ctx + "<identity> is missing (or name an EDS file with eds=\"...\")");
        std::sort(s.parameters.begin(), s.parameters.end(),
                  [](const ParameterSpec& a, const ParameterSpec& b) { return a.number < b.number; });
        return s;
    }

    void ReadIdentity(const Element& e, SlaveDescription& s) {
        s.vendorId = static_cast<uint16_t>(e.Unsigned("vendor-id", 65535));
        s.deviceType = static_cast<uint16_t>(e.Unsigned("device-type", 65535));
        s.productCode = static_cast<uint16_t>(e.Unsigned("product-code", 65535));
        s.serialNumber = static_cast<uint32_t>(e.Unsigned("serial", 0xFFFFFFFFu, DefaultSerial(s.mac)));
        s.status = static_cast<uint16_t>(e.Unsigned("status", 65535, 0));
        s.productName = e.Required("product-name");
        if (s.productName.size() > 32) e.Fail("product-name is longer than 32 characters");
        if (auto rev = e.Text("revision")) {
            unsigned major = 0, minor = 0;
            char dot = 0, extra = 0;
            std::istringstream in(*rev);
            if (!(in >> major >> dot >> minor) || dot != '.' || (in >> extra) || major < 1 || major > 127 ||
                minor > 255) {
                e.Fail("revision must be MAJOR.MINOR (1..127 . 0..255), not \"" + *rev + "\"");
            }
            s.revisionMajor = static_cast<uint8_t>(major);
            s.revisionMinor = static_cast<uint8_t>(minor);
        }
    }

    ConnectionSpec ReadConnection(const Element& e) {
        ConnectionSpec c;
        c.used = true;
        c.inputSize = static_cast<uint8_t>(e.Unsigned("input", 255, 0));
        c.outputSize = static_cast<uint8_t>(e.Unsigned("output", 255, 0));
        const std::string b = e.Text("inputs").value_or("constant");
        if (b == "constant") {
            c.behaviour = InputBehaviour::Constant;
        } else if (b == "counter") {
            c.behaviour = InputBehaviour::Counter;
        } else if (b == "loopback") {
            c.behaviour = InputBehaviour::Loopback;
        } else {
            e.Fail("inputs must be constant, counter or loopback, not \"" + b + "\"");
        }
        if (auto d = e.Text("data")) {
            if (c.behaviour != InputBehaviour::Constant) e.Fail("data is only allowed with inputs=\"constant\"");
            auto bytes = ParseHex(*d);
            if (!bytes) e.Fail("data must be hexadecimal bytes such as \"01 A2\", not \"" + *d + "\"");
            if (bytes->size() > c.inputSize) {
                e.Fail("data has " + std::to_string(bytes->size()) + " bytes, more than the input size " +
                       std::to_string(c.inputSize));
            }
            c.constant = *bytes;
        }
        c.constant.resize(c.inputSize, 0);
        return c;
    }

    ParameterSpec ReadParameter(const tinyxml2::XMLElement* x, const std::string& ctx) {
        Element e(*this, x, ctx + "<parameter>: ",
                  {"number", "name", "units", "help", "type", "value", "min", "max", "settable"});
        ParameterSpec p;
        p.line = e.Line();
        p.number = static_cast<uint16_t>(e.Unsigned("number", 65535));
        if (p.number == 0) e.Fail("number must be 1 or more");
        const std::string pctx = ctx + "parameter " + std::to_string(p.number) + ": ";
        auto fail = [&](const std::string& what) { Fail(p.line, pctx + what); };
        p.name = e.Text("name").value_or("");
        p.units = e.Text("units").value_or("");
        p.help = e.Text("help").value_or("");
        const std::string typeText = e.Required("type");
        auto type = cip::FindType(typeText);
        if (!type || type->size == 0) fail("type \"" + typeText + "\" is not a numeric CIP type");
        p.type = *type;
        auto number = [&](const char* name, std::optional<long double> fallback) -> long double {
            auto t = e.Text(name);
            if (!t) {
                if (fallback) return *fallback;
                fail(std::string("attribute \"") + name + "\" is missing");
            }
            auto enc = cip::EncodeText(p.type, *t);
            if (!enc) fail(std::string(name) + " \"" + *t + "\" does not fit type " + std::string(p.type.name));
            return *cip::DecodeNumber(p.type, *enc);
        };
        const cip::Range range = *cip::TypeRange(p.type);
        p.minimum = number("min", range.minimum);
        p.maximum = number("max", range.maximum);
        if (p.minimum > p.maximum) fail("min is above max");
        const long double v = number("value", std::nullopt);
        if (v < p.minimum || v > p.maximum) fail("value is outside min..max");
        p.value = cip::EncodeNumber(p.type, v);
        p.settable = e.Flag("settable", true);
        for (const tinyxml2::XMLElement* c = x->FirstChildElement(); c; c = c->NextSiblingElement()) {
            if (std::string_view(c->Name()) != "choice") fail("unknown element <" + std::string(c->Name()) + ">");
            Element ce(*this, c, pctx + "<choice>: ", {"value", "text"});
            const std::string t = ce.Required("value");
            auto enc = cip::EncodeText(p.type, t);
            if (!enc) ce.Fail("value \"" + t + "\" does not fit type " + std::string(p.type.name));
            p.choices.push_back(*cip::DecodeNumber(p.type, *enc));
        }
        if (!p.choices.empty() && std::find(p.choices.begin(), p.choices.end(), v) == p.choices.end()) {
            fail("value is not one of its choices");
        }
        return p;
    }

    AttributeSpec ReadAttribute(const tinyxml2::XMLElement* x, const std::string& ctx) {
        Element e(*this, x, ctx + "<attribute>: ", {"class", "instance", "id", "type", "value", "data", "settable"});
        AttributeSpec a;
        a.line = e.Line();
        a.classId = static_cast<uint16_t>(e.Unsigned("class", 65535));
        a.instance = static_cast<uint16_t>(e.Unsigned("instance", 65535));
        a.id = static_cast<uint8_t>(e.Unsigned("id", 255));
        if (a.classId == 0 || a.id == 0) e.Fail("class and id must be 1 or more");
        a.settable = e.Flag("settable", false);
        auto type = e.Text("type");
        auto value = e.Text("value");
        auto data = e.Text("data");
        if (data) {
            if (type || value) e.Fail("give either data or type and value, not both");
            auto bytes = ParseHex(*data);
            if (!bytes) e.Fail("data must be hexadecimal bytes such as \"01 A2\", not \"" + *data + "\"");
            a.value = *bytes;
        } else {
            if (!type || !value) e.Fail("needs type and value (or data)");
            a.type = cip::FindType(*type);
            if (!a.type) e.Fail("unknown type \"" + *type + "\"");
            auto enc = cip::EncodeText(*a.type, *value);
            if (!enc) e.Fail("value \"" + *value + "\" does not fit type " + std::string(a.type->name));
            a.value = *enc;
        }
        return a;
    }

    void ReadFault(const Element& e, SlaveDescription& s) {
        const std::string type = e.Required("type");
        if (type != "silent" && e.Text("after")) e.Fail("after belongs to type=\"silent\"");
        if (type != "slow" && e.Text("delay")) e.Fail("delay belongs to type=\"slow\"");
        if (type == "absent") {
            s.absent = true;
        } else if (type == "idle") {
            s.idle = true;
        } else if (type == "silent") {
            s.silentAfterMs = static_cast<uint32_t>(std::llround(e.Seconds("after") * 1000.0));
        } else if (type == "slow") {
            s.explicitDelayMs = static_cast<uint32_t>(e.Unsigned("delay", 600000));
        } else {
            e.Fail("type must be absent, silent, idle or slow, not \"" + type + "\"");
        }
    }

    std::string source_;
    std::filesystem::path baseDir_;
};

}  // namespace

BusDescription ParseBusText(std::string_view text, std::string_view sourceName, const std::filesystem::path& baseDir) {
    Reader r{std::string(sourceName), baseDir};
    return r.Read(text);
}

BusDescription LoadBusFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BusFileError(path.string() + ": cannot be read");
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) throw BusFileError(path.string() + ": cannot be read");
    return ParseBusText(all.str(), path.string(), path.parent_path());
}

}  // namespace adapter_emu
