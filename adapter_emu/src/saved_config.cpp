#include "adapter_emu/saved_config.h"

#include <tinyxml2.h>

#include <cstdio>
#include <span>
#include <fstream>
#include <sstream>
#include <string>

namespace adapter_emu {

namespace {

std::string Hex(std::span<const uint8_t> bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s.push_back(' ');
        s.push_back(digits[bytes[i] >> 4]);
        s.push_back(digits[bytes[i] & 15]);
    }
    return s;
}

template <std::size_t N>
bool FromHex(const char* text, std::array<uint8_t, N>& out) {
    if (!text) return false;
    std::string digits;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') continue;
        if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
        digits.push_back(*p);
    }
    if (digits.size() != 2 * N) return false;
    for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    return true;
}

}  // namespace

std::optional<SavedConfig> ReadSavedConfig(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) throw StateFileError(file.string() + ": cannot be read");
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    tinyxml2::XMLDocument doc;
    auto fail = [&](int line, const std::string& what) -> StateFileError {
        return StateFileError(file.string() + (line > 0 ? ":" + std::to_string(line) : "") + ": " + what);
    };
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        throw fail(doc.ErrorLineNum(), "not well-formed XML");
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root || std::string_view(root->Name()) != "adapter-state")
        throw fail(0, "the root element must be <adapter-state>");
    SavedConfig c;
    for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const std::string_view n = e->Name();
        if (n == "init") {
            std::array<uint8_t, 13> p{};
            if (!FromHex(e->GetText(), p)) throw fail(e->GetLineNum(), "<init> must hold 13 hexadecimal bytes");
            c.init = p;
        } else if (n == "slave") {
            std::array<uint8_t, 21> p{};
            if (!FromHex(e->GetText(), p)) throw fail(e->GetLineNum(), "<slave> must hold 21 hexadecimal bytes");
            if (p[0] > 63) throw fail(e->GetLineNum(), "slave MAC ID above 63");
            c.slaves.push_back(p);
        } else if (n == "node") {
            CommissionedNode node;
            unsigned fileMac = 64, mac = 64, baud = 0;
            if (e->QueryUnsignedAttribute("file-mac", &fileMac) != tinyxml2::XML_SUCCESS || fileMac > 63 ||
                e->QueryUnsignedAttribute("mac", &mac) != tinyxml2::XML_SUCCESS || mac > 63) {
                throw fail(e->GetLineNum(), "<node> needs file-mac and mac, 0 to 63");
            }
            node.fileMac = static_cast<uint8_t>(fileMac);
            node.mac = static_cast<uint8_t>(mac);
            if (e->Attribute("baud")) {
                if (e->QueryUnsignedAttribute("baud", &baud) != tinyxml2::XML_SUCCESS || baud > 2) {
                    throw fail(e->GetLineNum(), "<node> baud must be 0, 1 or 2");
                }
                node.baud = static_cast<uint8_t>(baud);
            }
            c.nodes.push_back(node);
        } else {
            throw fail(e->GetLineNum(), "unknown element <" + std::string(n) + ">");
        }
    }
    return c;
}

void WriteSavedConfig(const std::filesystem::path& file, const SavedConfig& config) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<adapter-state>\n";
    if (config.init) out << "  <init>" << Hex(*config.init) << "</init>\n";
    for (const auto& s : config.slaves) out << "  <slave>" << Hex(s) << "</slave>\n";
    for (const auto& n : config.nodes) {
        out << "  <node file-mac=\"" << unsigned(n.fileMac) << "\" mac=\"" << unsigned(n.mac) << "\"";
        if (n.baud) out << " baud=\"" << unsigned(*n.baud) << "\"";
        out << "/>\n";
    }
    out << "</adapter-state>\n";
    const std::filesystem::path tmp = file.string() + ".new";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f) throw StateFileError(tmp.string() + ": cannot be written");
        f << out.str();
        f.flush();
        if (!f) throw StateFileError(tmp.string() + ": cannot be written");
    }
    std::error_code ec;
    std::filesystem::rename(tmp, file, ec);
    if (ec) throw StateFileError(file.string() + ": cannot be written (" + ec.message() + ")");
}

}  // namespace adapter_emu
