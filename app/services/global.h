// CGlobal: the application-wide object. It reads the settings beside the program, keeps the
// device types, baud names, information-log switches, EDS names and status texts, reports
// failures as message boxes and log rows, and switches the language.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resources/ui_texts.h"
#include "services/core_services.h"
#include "services/user_settings.h"
#include "services/eds_store.h"
#include "services/gen_global.h"
#include "services/status_texts.h"

namespace tinyxml2 {
class XMLDocument;
}

// One "Item" of "ServerInfo" in Norvane.xml.
struct DeviceTypeEntry {
    std::string name;  // "name"
    int32_t type = 0;  // "type": master API device type
    int32_t channelCount = 0;  // "chlCount"

    bool operator==(const DeviceTypeEntry&) const = default;
};

// Attributes of "InfobarParas" in config.xml.
struct InfobarSettings {
    int32_t logError = 1;
    int32_t logWarning = 1;
    int32_t logLog = 0;
    int32_t showMsg = 1;
    int32_t selDevType = 0;
    int32_t selBaud = 0;

    bool operator==(const InfobarSettings&) const = default;
};

#if defined(__GNUC__)
#define NORVANE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define NORVANE_PRINTF(fmt, args)
#endif

class CGlobal : public name_share::CGenGlobal, public netsvc::ICoreServices {
public:
    static constexpr const char* kNoEdsName = EdsStore::kNoEdsName;
    static constexpr size_t kTextBufferSize = resources::kComposedTextBytes;  // composed texts hold at most 1023 bytes

    // Reads the settings beside the program: `programDir` with a trailing '/'.
    // `userDir` (with a trailing '/') is the user's configuration folder for the settings the
    // program writes when its own folder is not writable; `userDataDir` the user's data folder,
    // whose edsfile/ holds the user's EDS files; empty means none.
    explicit CGlobal(std::string programDir, std::string userDir = {}, std::string userDataDir = {});
    // Writes config.xml.
    ~CGlobal() override;

    // ---- messages ----
    // A master-API call returned `code`: box (when ShowMsg) and error log row.
    void ReportApiError(int32_t code, std::string_view context);
    // An explicit request came back with general status `code`: warning box.
    void ReportExplicitError(int32_t code, std::string_view context);
    // StatusTexts text of `code`; "(null)" when the table has none.
    std::string GetStatusText(int32_t code) const;
    // The same text in the current language (what the windows show).
    std::string StatusDisplayText(int32_t code) const;
    // The raw table entries (nullptr when missing).
    const char* FindStatusText(int32_t code) const;
    const char* FindExplicitStatusText(int32_t code) const;
    const name_share::CodeTextMap& StatusTexts() const { return *statusTexts_; }
    const name_share::CodeTextMap& ExplicitStatusTexts() const { return *explicitStatusTexts_; }

    // Level 0 error, 1 warning, anything else information. Returns the button pressed, 0 when
    // there is no host.
    int ShowMessageBox(int level, const char* format, ...) NORVANE_PRINTF(3, 4);
    int ShowMessageBoxV(int level, const char* format, va_list args);
    // Appends a log row when the switch of the level is on.
    void LogMessage(int level, const char* format, ...) NORVANE_PRINTF(3, 4);
    void LogMessageV(int level, const char* format, va_list args);

    // Shows `text` as an error-level box; the other arguments are not used.
    int ShowMessage(std::string_view text, int kind, uint32_t type, name_share::WindowRef owner) override;

    // ---- settings ----
    const std::vector<DeviceTypeEntry>& DeviceTypes() const { return deviceTypes_; }
    std::string GetDeviceTypeName(int32_t type) const;
    int32_t GetChannelCount(int32_t type) const;
    const std::map<int32_t, std::string>& BaudNames() const { return baudNames_; }
    std::string GetBaudName(int32_t index) const;
    InfobarSettings& Infobar() { return infobar_; }
    const InfobarSettings& Infobar() const { return infobar_; }
    // False when Norvane.xml could not be read at start.
    bool SettingsLoaded() const { return settingsLoaded_; }

    // Chooses language `index` (-1: the saved one). 1 on success, 0 on failure.
    int SelectLanguage(int32_t index);
    std::string LanguageIniPath() const;

    const std::string& PendingNetworkFile() const { return pendingNetworkFile_; }
    void SetPendingNetworkFile(std::string path) { pendingNetworkFile_ = std::move(path); }

    // ---- EDS store ----
    EdsStore& Eds() { return edsStore_; }
    const EdsStore& Eds() const { return edsStore_; }
    int ScanEdsFolder() { return edsStore_.Scan(); }
    int AddEdsName(const std::string& name) { return edsStore_.AddName(name); }
    void RegisterEdsPath(const std::string& name, const std::string& path) { edsStore_.RegisterPath(name, path); }
    std::string GetEdsPath(const std::string& name) const { return edsStore_.Path(name); }
    const std::vector<std::string>& EdsNames() const { return edsStore_.Names(); }
    std::string EdsFolder() const { return edsStore_.Folder(); }

    using ImportResult = EdsStore::ImportResult;
    // Copies the file into the EDS folder under its own file name and lists its name.
    ImportResult ImportEdsFile(const std::string& sourcePath) { return edsStore_.Import(sourcePath); }

    // ---- the network model's services ----
    void ReportMasterApiError(uint32_t code, std::string_view context) override;
    std::string StatusTextOf(uint32_t code) const override;
    std::string BaudNameOf(uint32_t index) const override;
    std::string DeviceTypeNameOf(uint32_t type) const override;
    uint32_t ChannelCountOf(uint32_t type) const override;
    std::string EdsPathOf(const std::string& name) const override;
    void ShowModelMessage(std::string_view text) override;
    void LogModelLine(netsvc::LogLevel level, std::string_view text) override;

private:
    bool LoadSettingsFile(const std::string& path);
    void ReadLanguages();
    void SaveConfig();
    // Formats into a 1024-byte buffer, cut at a character boundary.
    static std::string Format(const char* format, va_list args);

    name_share::UserSettings userSettings_;
    std::unique_ptr<tinyxml2::XMLDocument> settings_;
    std::string settingsPath_;  // the file the settings document was loaded from
    bool settingsLoaded_ = false;  // Norvane.xml read
    bool configLoaded_ = false;  // config.xml read
    std::string pendingNetworkFile_;
    std::vector<DeviceTypeEntry> deviceTypes_;
    InfobarSettings infobar_;
    EdsStore edsStore_;
    const name_share::CodeTextMap* explicitStatusTexts_ = &name_share::BuildExplicitStatusTexts();
    const name_share::CodeTextMap* statusTexts_ = &name_share::BuildStatusTexts();
    std::map<int32_t, std::string> baudNames_;
};

// The one CGlobal of the program, built on first use from the program folder.
CGlobal& GetGlobal();
