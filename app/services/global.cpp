#include "services/global.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <tinyxml2.h>

#include "platform/file_bytes.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "resources/resource_manager.h"
#include "resources/ui_texts.h"
#include "services/control_ini.h"
#include "services/program_dir.h"

using name_share::CControlIni;
using name_share::LogRow;
using name_share::MessageBoxRequest;
using name_share::Rgb;

namespace {

// Level table of messages and log rows.
struct LevelInfo {
    uint32_t captionId;
    uint32_t icon;
    int image;
    std::optional<Rgb> colour;
};

LevelInfo LevelOf(int level) {
    switch (level) {
        case 0: return {name_share::IDS_CAPTION_ERROR, name_share::kMbIconStop, 0, Rgb{200, 0, 0}};
        case 1: return {name_share::IDS_CAPTION_WARNING, name_share::kMbIconExclamation, 1, Rgb{180, 180, 0}};
        default: return {name_share::IDS_CAPTION_INFO, name_share::kMbIconInformation, 2, std::nullopt};
    }
}

int32_t IntAttribute(const tinyxml2::XMLElement& e, const char* name, int32_t def) {
    int value = def;
    return e.QueryIntAttribute(name, &value) == tinyxml2::XML_SUCCESS ? value : def;
}

// A top-level element of a settings document (tinyxml documents may hold several); files with
// one enclosing root element are accepted too.
const tinyxml2::XMLElement* TopLevel(const tinyxml2::XMLDocument& doc, const char* name) {
    if (const tinyxml2::XMLElement* e = doc.FirstChildElement(name)) return e;
    const tinyxml2::XMLElement* root = doc.RootElement();
    return root ? root->FirstChildElement(name) : nullptr;
}

}  // namespace

std::string name_share::LogTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

// ---- construction ----

CGlobal::CGlobal(std::string programDir, std::string userDir, std::string userDataDir)
    : CGenGlobal(std::move(programDir)),
      userSettings_(programDir_, std::move(userDir)),
      settings_(std::make_unique<tinyxml2::XMLDocument>()),
      edsStore_(programDir_, std::move(userDataDir)) {
    if (LoadSettingsFile(programDir_ + "Norvane.xml")) {
        settingsLoaded_ = true;
        if (const tinyxml2::XMLElement* server = TopLevel(*settings_, "ServerInfo")) {
            for (const tinyxml2::XMLElement* item = server->FirstChildElement("Item"); item;
                 item = item->NextSiblingElement("Item")) {
                DeviceTypeEntry entry;
                entry.name = item->Attribute("name") ? item->Attribute("name") : "";
                entry.type = IntAttribute(*item, "type", 0);
                entry.channelCount = IntAttribute(*item, "chlCount", 0);
                deviceTypes_.push_back(std::move(entry));
            }
        }
        if (const tinyxml2::XMLElement* baud = TopLevel(*settings_, "BaudRate")) {
            for (const tinyxml2::XMLElement* item = baud->FirstChildElement("Item"); item;
                 item = item->NextSiblingElement("Item")) {
                int value = 0;
                if (item->QueryIntAttribute("value", &value) != tinyxml2::XML_SUCCESS) continue;
                baudNames_[value] = item->Attribute("name") ? item->Attribute("name") : "";
            }
        }
        if (LoadSettingsFile(userSettings_.ReadPath("config.xml"))) {
            configLoaded_ = true;
            if (const tinyxml2::XMLElement* bar = TopLevel(*settings_, "InfobarParas")) {
                infobar_.logError = IntAttribute(*bar, "LogError", 1);
                infobar_.logWarning = IntAttribute(*bar, "LogWarning", 1);
                infobar_.logLog = IntAttribute(*bar, "LogLog", 0);
                infobar_.showMsg = IntAttribute(*bar, "ShowMsg", 1);
                infobar_.selDevType = IntAttribute(*bar, "SelDevType", 0);
                infobar_.selBaud = IntAttribute(*bar, "SelBaud", 0);
            }
            ScanEdsFolder();
        }
    }
    ReadLanguages();
    pendingNetworkFile_.clear();
}

CGlobal::~CGlobal() { SaveConfig(); }

bool CGlobal::LoadSettingsFile(const std::string& path) {
    std::optional<std::string> bytes = platform::ReadFileBytes(path);
    if (!bytes) return false;
    std::string text = platform::ToUtf8(*bytes);
    auto doc = std::make_unique<tinyxml2::XMLDocument>();
    if (doc->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) return false;
    settings_ = std::move(doc);
    settingsPath_ = path;
    return true;
}

void CGlobal::ReadLanguages() {
    // One read of the file, and one pass over its language section, for the whole list.
    platform::IniFile ini;
    ini.Load(LanguageIniPath());
    const auto languages = ini.Section("LANGUAGES");
    auto readInt = [&](const char* section, const char* key) {
        std::optional<std::string> v = ini.Find(section, key);
        return v && !v->empty() ? platform::ParseProfileInt(*v) : 0;
    };
    auto count = languages.find("count");
    const int32_t n = count != languages.end() && !count->second.empty() ? platform::ParseProfileInt(count->second) : 0;
    std::optional<name_share::LanguageEntry> missing;  // what a missing line reads as
    for (int32_t i = 0; i < n; ++i) {
        auto line = languages.find(std::to_string(i));
        // A count far beyond the keys in the file is read only as far as keys exist.
        if (line == languages.end() && i >= 1000) break;
        if (line == languages.end()) {
            if (!missing) missing = name_share::ParseLanguageEntry(platform::CutUtf8(platform::ToUtf8(""), 99));
            languages_.push_back(*missing);
            continue;
        }
        std::string text = platform::CutUtf8(platform::ToUtf8(line->second), 99);
        languages_.push_back(name_share::ParseLanguageEntry(text));
    }
    currentLanguage_ = readInt("LAST", "Sel");
    // The user's own language choice, when the program folder could not take it.
    const std::string userIni = userSettings_.ReadPath("language/config.ini");
    if (userIni != LanguageIniPath()) {
        platform::IniFile user;
        user.Load(userIni);
        if (std::optional<std::string> v = user.Find("LAST", "Sel"); v && !v->empty())
            currentLanguage_ = platform::ParseProfileInt(*v);
    }
}

std::string CGlobal::LanguageIniPath() const { return programDir_ + "language/config.ini"; }

void CGlobal::SaveConfig() {
    // Norvane.xml is never written; without it the settings were not read either, and an
    // existing config.xml is left as it is.
    if (!settingsLoaded_) return;
    tinyxml2::XMLDocument fresh;
    tinyxml2::XMLDocument* doc = settings_.get();
    if (!configLoaded_) {
        // The document still holds Norvane.xml: write a config.xml of its own.
        fresh.InsertEndChild(fresh.NewDeclaration());
        doc = &fresh;
    }
    tinyxml2::XMLElement* bar = nullptr;
    for (tinyxml2::XMLElement* e = doc->FirstChildElement(); e; e = e->NextSiblingElement())
        if (std::string_view(e->Name()) == "InfobarParas") {
            bar = e;
            break;
        }
    if (!bar) bar = doc->InsertEndChild(doc->NewElement("InfobarParas"))->ToElement();
    bar->SetAttribute("LogError", infobar_.logError);
    bar->SetAttribute("LogWarning", infobar_.logWarning);
    bar->SetAttribute("LogLog", infobar_.logLog);
    bar->SetAttribute("ShowMsg", infobar_.showMsg);
    bar->SetAttribute("SelDevType", infobar_.selDevType);
    bar->SetAttribute("SelBaud", infobar_.selBaud);
    const std::string path = userSettings_.WritePath("config.xml");
    const std::string temp = path + ".tmp";
    if (doc->SaveFile(temp.c_str()) == tinyxml2::XML_SUCCESS) {
        if (std::rename(temp.c_str(), path.c_str()) != 0) std::remove(temp.c_str());
    } else {
        std::remove(temp.c_str());
    }
}

// ---- settings ----

std::string CGlobal::GetDeviceTypeName(int32_t type) const {
    for (const DeviceTypeEntry& e : deviceTypes_)
        if (e.type == type) return e.name;
    return {};
}

int32_t CGlobal::GetChannelCount(int32_t type) const {
    for (const DeviceTypeEntry& e : deviceTypes_)
        if (e.type == type) return e.channelCount;
    return 0;
}

std::string CGlobal::GetBaudName(int32_t index) const {
    auto it = baudNames_.find(index);
    return it == baudNames_.end() ? std::string("125K") : it->second;
}

int CGlobal::SelectLanguage(int32_t index) {
    const int32_t count = static_cast<int32_t>(languages_.size());
    if (index == -1) {
        index = currentLanguage_;
    } else {
        if (index < 0 || index >= count) return 0;
        if (index == currentLanguage_) return 1;
    }
    if (index < 0 || index >= count) return 0;
    const name_share::LanguageEntry& entry = languages_[static_cast<size_t>(index)];
    if (entry.resourceFile.empty()) return 0;
    auto manager = std::make_unique<CXTPResourceManagerXMLEx>(programDir_ + "language/" + entry.resourceFile);
    if (!SetResourceManager(std::move(manager))) return 0;
    if (!entry.locale.empty()) {
        std::setlocale(LC_ALL, entry.locale.c_str());
        // Numbers in files are always written and read with a '.' point.
        std::setlocale(LC_NUMERIC, "C");
    }
    currentLanguage_ = index;
    CControlIni(userSettings_.WritePath("language/config.ini")).WriteInt("LAST", "Sel", index);
    return 1;
}

// ---- messages ----

std::string CGlobal::Format(const char* format, va_list args) {
    return resources::FormatBounded(format ? format : "", args);
}

int CGlobal::ShowMessageBoxV(int level, const char* format, va_list args) {
    std::string text = Format(format, args);
    name_share::IHost* host = Host();
    if (!host) return 0;
    LevelInfo info = LevelOf(level);
    MessageBoxRequest request;
    request.owner = host->MainWindow();
    request.caption = LoadText(info.captionId);
    request.text = std::move(text);
    request.type = name_share::kMbOk | info.icon;
    return host->ShowMessageBox(request);
}

int CGlobal::ShowMessageBox(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = ShowMessageBoxV(level, format, args);
    va_end(args);
    return result;
}

void CGlobal::LogMessageV(int level, const char* format, va_list args) {
    std::string text = Format(format, args);
    std::string time = name_share::LogTimeText();
    int32_t enabled = level == 0 ? infobar_.logError : level == 1 ? infobar_.logWarning : infobar_.logLog;
    name_share::IHost* host = Host();
    if (!enabled || !host) return;
    LevelInfo info = LevelOf(level);
    LogRow row;
    row.level = level == 0 || level == 1 ? level : 2;
    row.image = info.image;
    row.time = std::move(time);
    row.text = std::move(text);
    row.textColour = info.colour;
    host->AppendLogRow(row);
}

void CGlobal::LogMessage(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogMessageV(level, format, args);
    va_end(args);
}

const char* CGlobal::FindStatusText(int32_t code) const {
    auto it = statusTexts_->find(code);
    return it == statusTexts_->end() ? nullptr : it->second;
}

const char* CGlobal::FindExplicitStatusText(int32_t code) const {
    auto it = explicitStatusTexts_->find(code);
    return it == explicitStatusTexts_->end() ? nullptr : it->second;
}

std::string CGlobal::GetStatusText(int32_t code) const {
    const char* text = FindStatusText(code);
    return text ? text : name_share::kMissingText;
}

std::string CGlobal::StatusDisplayText(int32_t code) const {
    const uint32_t id = name_share::StatusTextId(code);
    return id != 0 ? resources::Text(id) : name_share::kMissingText;
}

void CGlobal::ReportApiError(int32_t code, std::string_view context) {
    const std::string message = resources::FormatText(resource_ids::kTextApiErrorTemplate, std::string(context).c_str(),
                                                      code, StatusDisplayText(code).c_str());
    if (infobar_.showMsg) ShowMessageBox(0, "%s", message.c_str());
    LogMessage(0, "%s", message.c_str());
}

void CGlobal::ReportExplicitError(int32_t code, std::string_view context) {
    const uint32_t id = name_share::ExplicitStatusTextId(code);
    const std::string text = id != 0 ? resources::Text(id) : name_share::kMissingText;
    ShowMessageBox(1, "%s",
                   resources::FormatText(resource_ids::kTextExplicitErrorTemplate, std::string(context).c_str(), code,
                                         text.c_str())
                       .c_str());
}

int CGlobal::ShowMessage(std::string_view text, int, uint32_t, name_share::WindowRef) {
    const std::string t(text);
    return ShowMessageBox(0, "%s", t.c_str());
}

// ---- the network model's services ----

void CGlobal::ReportMasterApiError(uint32_t code, std::string_view context) {
    ReportApiError(static_cast<int32_t>(code), context);
}

std::string CGlobal::StatusTextOf(uint32_t code) const { return GetStatusText(static_cast<int32_t>(code)); }

std::string CGlobal::BaudNameOf(uint32_t index) const { return GetBaudName(static_cast<int32_t>(index)); }

std::string CGlobal::DeviceTypeNameOf(uint32_t type) const { return GetDeviceTypeName(static_cast<int32_t>(type)); }

uint32_t CGlobal::ChannelCountOf(uint32_t type) const {
    return static_cast<uint32_t>(std::max<int32_t>(0, GetChannelCount(static_cast<int32_t>(type))));
}

std::string CGlobal::EdsPathOf(const std::string& name) const { return GetEdsPath(name); }

void CGlobal::ShowModelMessage(std::string_view text) {
    name_share::IHost* host = Host();
    if (host == nullptr) return;
    MessageBoxRequest request;
    request.owner = host->MainWindow();
    request.text = std::string(text);
    request.type = name_share::kMbOk;
    host->ShowMessageBox(request);
}

void CGlobal::LogModelLine(netsvc::LogLevel level, std::string_view text) {
    const std::string line(text);
    LogMessage(static_cast<int>(level), "%s", line.c_str());
}

CGlobal& GetGlobal() {
    static CGlobal global(name_share::FindProgramDir(), name_share::UserSettings::UserDirFromEnvironment(),
                          name_share::UserSettings::UserDataDirFromEnvironment());
    return global;
}
