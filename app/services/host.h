// What the application services need from whatever shows the program to the user: a message
// box and the information log. The Qt main window implements it, norvanectl implements it on
// the terminal, and tests record what they are asked to show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace name_share {

// An owner window as the host knows it (the host's own window pointer); never owned here.
using WindowRef = void*;

// Levels of messages and log rows.
inline constexpr int kLevelError = 0;
inline constexpr int kLevelWarning = 1;
inline constexpr int kLevelLog = 2;  // any other value is a log line too

// Message-box type bits of the classic message box (buttons in the low nibble, icon above).
inline constexpr uint32_t kMbOk = 0x00;
inline constexpr uint32_t kMbIconStop = 16;         // error
inline constexpr uint32_t kMbIconQuestion = 32;
inline constexpr uint32_t kMbIconExclamation = 48;  // warning
inline constexpr uint32_t kMbIconInformation = 64;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct MessageBoxRequest {
    WindowRef owner = nullptr;  // the main window, or none
    std::string caption;
    std::string text;
    uint32_t type = 0;          // buttons | icon, classic message-box bits
};

// One row of the information log.
struct LogRow {
    int level = 2;                   // 0 error, 1 warning, 2 log
    int image = 2;                   // image index: 0 error, 1 warning, 2 log
    std::string time;                // "%H:%M:%S"
    std::string text;
    std::optional<Rgb> textColour;   // none: the list's default text colour
};

class IHost {
public:
    virtual ~IHost() = default;
    // Shows a modal message box; returns the button pressed (1 for OK).
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
    // Appends a row at the end of the information log and makes it visible.
    virtual void AppendLogRow(const LogRow& row) = 0;
    // The main window, used as the owner of message boxes; none before it exists.
    virtual WindowRef MainWindow() const { return nullptr; }
    // Shows a context menu of a menu resource; returns the chosen command id or 0.
    virtual int TrackContextMenu(uint32_t /*menuId*/, int /*subIndex*/, WindowRef /*owner*/) { return 0; }
    // Opens a file with the desktop's default handler.
    virtual bool OpenFile(const std::string& /*path*/) { return false; }
};

// The local time as "%H:%M:%S", as log rows carry it.
std::string LogTimeText();

}  // namespace name_share
