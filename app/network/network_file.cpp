#include "network/network_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <tinyxml2.h>
#include <unistd.h>

#include "services/core_services.h"
#include "network/hex_text.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "resources/ui_texts.h"

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

// What a person reads for a parser error of tinyxml2.
std::string XmlErrorReason(tinyxml2::XMLError error) {
    using namespace resource_ids;
    switch (error) {
        case tinyxml2::XML_ERROR_EMPTY_DOCUMENT: return resources::Text(kTextXmlEmpty);
        case tinyxml2::XML_ERROR_MISMATCHED_ELEMENT: return resources::Text(kTextXmlMismatchedElement);
        case tinyxml2::XML_ERROR_PARSING_ELEMENT: return resources::Text(kTextXmlBadElement);
        case tinyxml2::XML_ERROR_PARSING_ATTRIBUTE: return resources::Text(kTextXmlBadAttribute);
        case tinyxml2::XML_ERROR_PARSING_TEXT: return resources::Text(kTextXmlBadText);
        case tinyxml2::XML_ERROR_PARSING_CDATA: return resources::Text(kTextXmlBadCdata);
        case tinyxml2::XML_ERROR_PARSING_COMMENT: return resources::Text(kTextXmlBadComment);
        case tinyxml2::XML_ERROR_PARSING_DECLARATION: return resources::Text(kTextXmlBadDeclaration);
        case tinyxml2::XML_ELEMENT_DEPTH_EXCEEDED: return resources::Text(kTextXmlTooDeep);
        default: return resources::Text(kTextXmlNotXml);
    }
}

int LineOf(const XMLElement* e) { return e != nullptr ? e->GetLineNum() : 0; }

XMLElement* AppendValueElement(XMLElement* parent, const char* name, std::span<const uint8_t> bytes) {
    XMLElement* e = parent->GetDocument()->NewElement(name);
    e->SetAttribute("value", netmodel::EncodeHex(bytes).c_str());
    parent->InsertEndChild(e);
    return e;
}

// Decodes child `name`/value into `block`. A missing element or attribute, and damaged digits,
// are problems; the block keeps what was not decoded.
void DecodeChild(const XMLElement* parent, const char* name, std::span<uint8_t> block, NetworkReadContext& context) {
    const XMLElement* e = parent->FirstChildElement(name);
    const char* value = e != nullptr ? e->Attribute("value") : nullptr;
    if (value == nullptr) {
        context.Problem(
            resources::FormatText(resource_ids::kTextFileMissingElement, LineOf(e != nullptr ? e : parent), name));
        return;
    }
    netmodel::HexDecodeResult r = netmodel::DecodeHexInto(value, block);
    if (!r.clean) {
        context.Problem(
            resources::FormatText(resource_ids::kTextFileBadHex, LineOf(e), name, static_cast<int>(r.bytesStored)));
    }
}

// A decimal number of 0..4294967295, nothing else (no sign, no blanks).
bool ParseDecimal(const char* text, uint32_t& out) {
    if (text == nullptr || *text == '\0') return false;
    uint64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFull) return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

bool ReadUnsigned(const XMLElement* e, const char* name, uint32_t& out, NetworkReadContext& context) {
    if (!ParseDecimal(e->Attribute(name), out)) {
        context.Problem(resources::FormatText(resource_ids::kTextFileBadAttribute, LineOf(e), e->Name(), name));
        return false;
    }
    return true;
}

void ReadCards(NetworkRegistry& network, const XMLDocument& doc, NetworkReadContext& context) {
    for (const XMLElement* card = doc.FirstChildElement("Card"); card != nullptr;
         card = card->NextSiblingElement("Card")) {
        uint32_t type = 0;
        uint32_t index = 0;
        if (!ReadUnsigned(card, "type", type, context) || !ReadUnsigned(card, "addr", index, context)) continue;
        for (const XMLElement* server = card->FirstChildElement("Server"); server != nullptr;
             server = server->NextSiblingElement("Server")) {
            uint32_t channel = 0;
            if (!ReadUnsigned(server, "chlIndex", channel, context)) continue;
            CServerDev* master = network.GetOrCreateMaster(type, index, channel);
            master->LoadXml(server, context);
        }
    }
}

// Start offsets of the top-level Card elements in a document text.
std::vector<std::size_t> CardStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    std::size_t pos = 0;
    while ((pos = text.find("<Card", pos)) != std::string_view::npos) {
        char next = pos + 5 < text.size() ? text[pos + 5] : '\0';
        if (next == ' ' || next == '>' || next == '/' || next == '\t' || next == '\r' || next == '\n') {
            starts.push_back(pos);
        }
        pos += 5;
    }
    return starts;
}

// The last position of `marker` in `text`, npos when absent. Compares only where the first byte
// matches, not at every position.
std::size_t LastOf(std::string_view text, std::string_view marker) {
    if (marker.empty() || marker.size() > text.size()) return std::string_view::npos;
    for (std::size_t pos = text.size() - marker.size() + 1; pos-- > 0;) {
        if (text[pos] == marker.front() && text.substr(pos, marker.size()) == marker) return pos;
    }
    return std::string_view::npos;
}

// A Card element that does not parse, cut back to a point where it can be closed: after its last
// complete Slave, before its last Slave, or before its last Server. Empty when none parses.
bool RepairCard(std::string_view chunk, XMLDocument& doc) {
    struct Cut {
        std::string_view marker;
        bool after;
        std::string_view closing;
    };
    static constexpr Cut kCuts[] = {
        {"</Slave>", true, "</Server></Card>"},
        {"<Slave", false, "</Server></Card>"},
        {"<Server", false, "</Card>"},
    };
    std::string repaired;
    for (const Cut& cut : kCuts) {
        std::size_t pos = LastOf(chunk, cut.marker);
        if (pos == std::string_view::npos) continue;
        if (cut.after) pos += cut.marker.size();
        repaired.assign(chunk.substr(0, pos));
        repaired += cut.closing;
        if (doc.Parse(repaired.data(), repaired.size()) == tinyxml2::XML_SUCCESS) return true;
    }
    return false;
}

// One Card of a damaged document, parsed on its own.
struct DamagedCard {
    std::unique_ptr<XMLDocument> doc;  // nullptr when it could not be read even cut back
    bool partial = false;  // read as far as it could be closed
};

// Whether a Card gives something to read: a card without a master does not.
bool HasMaster(const DamagedCard& card) {
    if (!card.doc) return false;
    const XMLElement* element = card.doc->FirstChildElement("Card");
    return element != nullptr && element->FirstChildElement("Server") != nullptr;
}

// Each Card of a damaged document read on its own; a Card that is cut off or broken is read as
// far as it can be closed. With `untilMaster` the reading stops after the first Card that has a
// master, which is all a check needs.
std::vector<DamagedCard> ReadCardChunks(std::string_view text, bool untilMaster) {
    std::vector<DamagedCard> cards;
    const std::vector<std::size_t> starts = CardStarts(text);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        const std::string_view chunk = text.substr(starts[i], end - starts[i]);
        DamagedCard card;
        card.doc = std::make_unique<XMLDocument>();
        if (card.doc->Parse(chunk.data(), chunk.size()) != tinyxml2::XML_SUCCESS) {
            card.partial = true;
            if (!RepairCard(chunk, *card.doc)) card.doc.reset();
        }
        cards.push_back(std::move(card));
        if (untilMaster && HasMaster(cards.back())) break;
    }
    return cards;
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

}  // namespace

void NetworkReadContext::Problem(const std::string& text) {
    netsvc::Log(netsvc::LogLevel::Warning, text);
    problems.push_back(text);
}

// ---------------------------------------------------------------------------------------------
// Masters and slaves

void CServerDev::SaveXml(XMLElement* element) const {
    MasterConfigBlock block = Config();
    AppendValueElement(element, "config", block.bytes);
    int count = GetChildCount();
    for (int i = 0; i < count; ++i) {
        const CSlaveDev* slave = GetChild(i);
        XMLElement* e = element->GetDocument()->NewElement("Slave");
        slave->SaveXml(e);
        element->InsertEndChild(e);
    }
}

void CServerDev::LoadXml(const XMLElement* element) {
    NetworkReadContext context;
    LoadXml(element, context);
}

void CServerDev::LoadXml(const XMLElement* element, NetworkReadContext& context) {
    MasterConfigBlock block = Config();
    DecodeChild(element, "config", block.bytes, context);
    SetConfig(block);
    for (const XMLElement* e = element->FirstChildElement("Slave"); e != nullptr; e = e->NextSiblingElement("Slave")) {
        auto slave = std::make_unique<CSlaveDev>();
        slave->LoadXml(e, context);
        int mac = slave->GetAddress();
        if (mac < 0 || mac > 63) {
            context.Problem(resources::FormatText(resource_ids::kTextFileBadSlaveAddress, LineOf(e),
                                                  static_cast<unsigned>(slave->Config().record.MacId())));
            continue;
        }
        if (FindSlave(mac) != nullptr) {
            context.Problem(resources::FormatText(resource_ids::kTextFileDuplicateSlave, LineOf(e), mac));
            continue;
        }
        if (static_cast<uint32_t>(mac) == block.MacId()) {
            context.Problem(resources::FormatText(resource_ids::kTextFileSlaveAtMasterAddress, LineOf(e), mac));
            continue;
        }
        AddChild(std::move(slave));
    }
}

void CSlaveDev::SaveXml(XMLElement* element) const {
    XMLDocument* doc = element->GetDocument();
    XMLElement* path = doc->NewElement("EDSPath");
    // Full paths, so the file can be moved elsewhere; a path that names no file stays as it is.
    std::string full = eds_->path;
    std::error_code ec;
    if (!full.empty() && std::filesystem::path(full).is_relative() && std::filesystem::is_regular_file(full, ec))
        full = std::filesystem::absolute(full, ec).lexically_normal().string();
    path->SetAttribute("path", full.c_str());
    element->InsertEndChild(path);
    element->SetAttribute("name", config_.name.c_str());
    AppendValueElement(element, "IOUse", config_.use.bytes);
    for (const IoDataGroup& group : config_.groups) {
        XMLElement* item = doc->NewElement("Item");
        for (const auto& entry : group) {
            auto image = entry->Image();
            AppendValueElement(item, "SubItem", image);
        }
        element->InsertEndChild(item);
    }
    AppendValueElement(element, "VARDA_CFG", config_.record.bytes);
}

void CSlaveDev::LoadXml(const XMLElement* element) {
    NetworkReadContext context;
    LoadXml(element, context);
}

void CSlaveDev::LoadXml(const XMLElement* element, NetworkReadContext& context) {
    if (const char* name = element->Attribute("name")) {
        config_.name = name;
    } else {
        context.Problem(resources::FormatText(resource_ids::kTextFileSlaveWithoutName, LineOf(element)));
    }
    const XMLElement* pathElement = element->FirstChildElement("EDSPath");
    const char* path = pathElement != nullptr ? pathElement->Attribute("path") : nullptr;
    if (path == nullptr) {
        context.Problem(resources::FormatText(resource_ids::kTextFileSlaveWithoutEdsPath, LineOf(element)));
        path = "";
    }
    // A path that resolves nowhere is kept as written, so the file works again once the EDS file
    // is back in place.
    std::string resolved = *path != '\0' ? ResolveEdsPath(path, context.baseDir) : std::string();
    if (*path != '\0' && resolved.empty()) {
        context.Problem(resources::FormatText(resource_ids::kTextFileEdsNotFound, config_.name.c_str(), path));
        resolved = path;
    }
    LoadSlaveEds(*eds_, resolved);
    config_.use.bytes.fill(0);
    DecodeChild(element, "IOUse", config_.use.bytes, context);
    config_.groups.clear();
    for (const XMLElement* group = element->FirstChildElement("Item"); group != nullptr;
         group = group->NextSiblingElement("Item")) {
        IoDataGroup items;
        for (const XMLElement* sub = group->FirstChildElement("SubItem"); sub != nullptr;
             sub = sub->NextSiblingElement("SubItem")) {
            auto item = std::make_unique<IoDataItem>();
            const char* value = sub->Attribute("value");
            if (value == nullptr) {
                context.Problem(resources::FormatText(resource_ids::kTextFileSubItemWithoutValue, LineOf(sub)));
            } else {
                netmodel::HexDecodeResult r = netmodel::DecodeHexInto(value, item->MutableImage());
                if (!r.clean) {
                    context.Problem(resources::FormatText(resource_ids::kTextFileSubItemBadHex, LineOf(sub),
                                                          static_cast<int>(r.bytesStored)));
                }
                item->DropReference();
            }
            items.push_back(std::move(item));
        }
        config_.groups.push_back(std::move(items));
    }
    DecodeChild(element, "VARDA_CFG", config_.record.bytes, context);
    RebuildDataTable();
    panelRebuild_ = 1;
}

// ---------------------------------------------------------------------------------------------
// The document

std::string NetworkDocumentText(const NetworkRegistry& network) {
    XMLDocument doc;
    for (const auto& [key, card] : network.Cards()) {
        XMLElement* cardElement = doc.NewElement("Card");
        cardElement->SetAttribute("type", key.first);
        cardElement->SetAttribute("addr", key.second);
        for (const auto& [channel, master] : card->Masters()) {
            XMLElement* server = doc.NewElement("Server");
            server->SetAttribute("chlIndex", channel);
            master->SaveXml(server);
            cardElement->InsertEndChild(server);
        }
        doc.InsertEndChild(cardElement);
    }
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    return std::string(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

bool SaveNetworkFile(const NetworkRegistry& network, const std::string& path) {
    const std::string bytes = netsvc::Utf8ToGb18030(NetworkDocumentText(network));
    auto write = [&bytes](const std::string& target) {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        return static_cast<bool>(out);
    };
    // A link stays a link: its file is replaced.
    std::error_code ec;
    const std::string target =
        std::filesystem::is_symlink(path, ec) ? std::filesystem::weakly_canonical(path, ec).string() : path;
    const std::string temp = target + ".tmp";
    if (write(temp)) {
        if (std::rename(temp.c_str(), target.c_str()) == 0) return true;
        std::remove(temp.c_str());
        return false;
    }
    std::remove(temp.c_str());
    // A folder that takes no new file may still hold a writable file of this name.
    return std::filesystem::is_regular_file(target, ec) && ::access(target.c_str(), W_OK) == 0 && write(target);
}

std::string ResolveEdsPath(const std::string& written, const std::string& baseDir) {
    namespace fs = std::filesystem;
    if (written.empty()) return {};
    std::string local = written;
    std::replace(local.begin(), local.end(), '\\', '/');
    const fs::path p(local);
    std::error_code ec;
    auto existing = [&ec](const fs::path& candidate) {
        return fs::is_regular_file(candidate, ec) ? fs::absolute(candidate, ec).lexically_normal().string()
                                                  : std::string();
    };
    std::string found;
    if (p.is_absolute()) {
        found = existing(p);
    } else {
        found = existing(baseDir.empty() ? p : fs::path(baseDir) / p);
    }
    if (!found.empty()) return found;
    // A file made elsewhere: the EDS folders by the file's name.
    const fs::path fileName = p.filename();
    if (fileName.empty()) return {};
    const std::string stem = fileName.stem().string();
    // The store finds the name's file in any case of the extension.
    const std::string candidate = stem.empty() ? std::string() : netsvc::EdsPath(stem);
    return candidate.empty() ? std::string() : existing(candidate);
}

namespace {

// Control bytes no text file holds (tab, line feed and carriage return excepted).
bool HasBinaryBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F;
    });
}

NetworkFileResult Refused(NetworkFileRefusal why, const std::string& shown) {
    NetworkFileResult result;
    result.refused = why;
    result.problems.push_back(resources::Text(why == NetworkFileRefusal::CannotOpen
                                                  ? resource_ids::kTextFileCannotOpen
                                                  : resource_ids::kTextFileNotNetwork) +
                              shown);
    netsvc::Log(netsvc::LogLevel::Warning, result.problems.back());
    return result;
}

// A file's bytes examined once: whether they are refused, and what the reader goes on with.
struct Examined {
    NetworkFileRefusal refusal = NetworkFileRefusal::None;
    std::string text;  // the bytes as UTF-8
    bool blank = false;  // nothing but blanks: an empty network
    XMLDocument doc;  // the whole document, or its parser error when it is damaged
    bool damaged = false;
    std::vector<DamagedCard> cards;  // of a damaged document, read Card by Card
};

// With `allCards` every Card of a damaged document is read (what loading needs); without, the
// reading stops at the first Card that has a master (what a check needs).
std::unique_ptr<Examined> Examine(std::string_view bytes, bool allCards) {
    auto e = std::make_unique<Examined>();
    if (HasBinaryBytes(bytes)) {
        e->refusal = NetworkFileRefusal::Binary;
        return e;
    }
    e->text = netsvc::FileTextToUtf8(bytes);
    if (IsBlank(e->text)) {
        e->blank = true;
        return e;
    }
    if (e->doc.Parse(e->text.data(), e->text.size()) == tinyxml2::XML_SUCCESS) {
        // Only a declaration or comments: an empty network; elements but no Card: another document.
        if (e->doc.FirstChildElement() != nullptr && e->doc.FirstChildElement("Card") == nullptr)
            e->refusal = NetworkFileRefusal::OtherDocument;
        return e;
    }
    e->damaged = true;
    e->cards = ReadCardChunks(e->text, !allCards);
    if (std::none_of(e->cards.begin(), e->cards.end(), HasMaster)) e->refusal = NetworkFileRefusal::NothingReadable;
    return e;
}

NetworkFileResult ReadNetwork(NetworkRegistry& network, std::string_view bytes, NetworkReadContext& context,
                              const std::string& shown) {
    const std::unique_ptr<Examined> file = Examine(bytes, true);
    if (file->refusal != NetworkFileRefusal::None) return Refused(file->refusal, shown);
    NetworkFileResult result;
    result.opened = true;
    network.ClearNetwork();
    if (file->blank) {
        result.parsed = true;  // an empty network
    } else if (!file->damaged) {
        result.parsed = true;
        ReadCards(network, file->doc, context);
    } else {
        context.Problem(resources::FormatText(resource_ids::kTextFileDamaged, file->doc.ErrorLineNum(),
                                              XmlErrorReason(file->doc.ErrorID()).c_str()));
        for (const DamagedCard& card : file->cards) {
            if (!card.doc) {
                context.Problem(resources::Text(resource_ids::kTextFileCardUnreadable));
                continue;
            }
            if (card.partial) context.Problem(resources::Text(resource_ids::kTextFileCardPartial));
            ReadCards(network, *card.doc, context);
        }
    }
    result.problems = std::move(context.problems);
    return result;
}

std::optional<std::string> ReadBytes(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;  // also no folder
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

}  // namespace

NetworkFileRefusal CheckNetworkBytes(std::string_view bytes) { return Examine(bytes, false)->refusal; }

NetworkFileRefusal CheckNetworkFile(const std::string& path) {
    std::optional<std::string> bytes = ReadBytes(path);
    return bytes ? CheckNetworkBytes(*bytes) : NetworkFileRefusal::CannotOpen;
}

NetworkFileResult LoadNetworkBytes(NetworkRegistry& network, std::string_view bytes) {
    NetworkReadContext context;
    return ReadNetwork(network, bytes, context, {});
}

NetworkFileResult LoadNetworkFile(NetworkRegistry& network, const std::string& path) {
    if (path.empty()) return {};
    std::optional<std::string> bytes = ReadBytes(path);
    if (!bytes) return Refused(NetworkFileRefusal::CannotOpen, path);
    NetworkReadContext context;
    context.baseDir = std::filesystem::path(path).parent_path().string();
    return ReadNetwork(network, *bytes, context, path);
}
