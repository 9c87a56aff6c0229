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
inline constexpr uint32_t kMbOkCancel = 0x01;
inline constexpr uint32_t kMbAbortRetryIgnore = 0x02;
inline constexpr uint32_t kMbYesNoCancel = 0x03;
inline constexpr uint32_t kMbYesNo = 0x04;
inline constexpr uint32_t kMbRetryCancel = 0x05;
inline constexpr uint32_t kMbButtonMask = 0x0F;
inline constexpr uint32_t kMbIconStop = 16;  // error
inline constexpr uint32_t kMbIconQuestion = 32;
inline constexpr uint32_t kMbIconExclamation = 48;  // warning
inline constexpr uint32_t kMbIconInformation = 64;
inline constexpr uint32_t kMbIconMask = 0xF0;

// Codes of the button that closed a message box.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct MessageBoxRequest {
    WindowRef owner = nullptr;  // the main window, or none
    std::string caption;
    std::string text;
    uint32_t type = 0;  // buttons | icon, classic message-box bits
};

// One row of the information log.
struct LogRow {
    int level = 2;  // 0 error, 1 warning, 2 log
    int image = 2;  // image index: 0 error, 1 warning, 2 log
    std::string time;  // "%H:%M:%S"
    std::string text;
    std::optional<Rgb> textColour;  // none: the list's default text colour
};

class IHost {
public:
    virtual ~IHost() = default;
    // Shows a modal message box with the buttons and icon of the request's type bits; returns the
    // code of the button pressed (kIdOk ... kIdNo). A box that only informs may be shown later
    // when asked from a worker thread; it then returns kIdOk at once.
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
