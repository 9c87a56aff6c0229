// Ids of the menus, dialogs and dialog controls that several parts of the program share.
#pragma once

#include <cstdint>

namespace resource_ids {

// Menus.
inline constexpr uint32_t kMainMenu = 128;     // the menu bar
inline constexpr uint32_t kContextMenu = 20003;  // pop-ups 0 "InfoWnd", 1 "Net", 2 "Slave", 3 "viewpop", 4 "REPORTRCLICK"

// Commands of the main menu that other parts of the program name.
inline constexpr uint16_t kCommandExportReport = 32860;  // File, "导出报告…": the network report as HTML or PDF
inline constexpr uint16_t kCommandCommissionNode = 32862;  // Master, "节点调试…": a device's MAC ID and baud rate

// Buttons every dialog uses.
inline constexpr uint16_t kIdOk = 1;
inline constexpr uint16_t kIdCancel = 2;

// About box.
inline constexpr uint32_t kAboutDialog = 100;
inline constexpr uint16_t kAboutIcon = 1000;     // the program icon (STATIC, resource 128)
inline constexpr uint16_t kAboutVersion = 1001;  // "DeviceNet 测试工具   V1.013"

// Information-log settings.
inline constexpr uint32_t kInfoSettingDialog = 20020;
inline constexpr uint16_t kCheckLogError = 1001;
inline constexpr uint16_t kCheckLogWarning = 1002;
inline constexpr uint16_t kCheckLogLog = 1003;
inline constexpr uint16_t kCheckShowMsg = 1004;

}  // namespace resource_ids
