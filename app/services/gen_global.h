// The application-wide base services: languages, message boxes, context menus and files.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/host.h"

namespace name_share {

// One line of language/config.ini: "n|n|locale|resource file|caption".
struct LanguageEntry {
    int32_t field0 = 0;  // stored with the entry; nothing reads it
    int32_t field1 = 0;  // stored with the entry; nothing reads it
    std::string locale;  // passed to setlocale when the language is chosen
    std::string resourceFile;  // XML resource file in the language folder
    std::string caption;  // caption in the language menu

    bool operator==(const LanguageEntry&) const = default;
};

// Splits a language line at '|' into the five fields; missing fields read as empty or 0.
LanguageEntry ParseLanguageEntry(std::string_view line);

class CGenGlobal {
public:
    explicit CGenGlobal(std::string programDir);
    CGenGlobal(const CGenGlobal&) = delete;
    CGenGlobal& operator=(const CGenGlobal&) = delete;
    virtual ~CGenGlobal();

    // Shows a context menu of menu resource `menuId` (sub-menu `subIndex`) for `owner`;
    // returns the chosen command id, 0 for none.
    virtual int TrackContextMenu(uint32_t menuId, int subIndex, WindowRef owner);
    // Shows a text to the user.
    virtual int ShowMessage(std::string_view text, int kind, uint32_t type, WindowRef owner) = 0;
    // Loads string `id` (language resources first, then the built-in table) and shows it
    // through ShowMessage.
    virtual int ShowMessageById(uint32_t id, int kind, uint32_t type, WindowRef owner);
    // Message box with English captions: kind 0 "Information" (default type 64), 1 "Warning"
    // (32), 2 "Error" (16); type 0 takes the default. Other kinds show nothing and return 0.
    virtual int MessageBox(WindowRef owner, std::string_view text, int kind, uint32_t type);
    // Opens a file relative to the program folder with the desktop's handler.
    virtual int OpenProgramFile(std::string_view fileName);

    // The program folder with a trailing '/'.
    const std::string& GetProgramDir() const { return programDir_; }

    // The text of string `id`: the current language resources, else the built-in table;
    // empty when neither has it.
    std::string LoadText(uint32_t id) const;

    const std::vector<LanguageEntry>& Languages() const { return languages_; }
    int32_t CurrentLanguage() const { return currentLanguage_; }

    // The host that shows boxes and log rows; none (nullptr) until the user interface exists.
    // Not owned: the host outlives its registration. Read by worker threads too.
    void SetHost(IHost* host) { host_.store(host, std::memory_order_release); }
    IHost* Host() const { return host_.load(std::memory_order_acquire); }

protected:
    std::string programDir_;
    std::vector<LanguageEntry> languages_;
    int32_t currentLanguage_ = 0;
    std::atomic<IHost*> host_{nullptr};
};

}  // namespace name_share
