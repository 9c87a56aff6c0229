// Turns one control of a dialog template into a widget: the Win32 class and style decide the
// Qt widget; unknown classes become a labelled placeholder.
#pragma once

#include <QString>
#include <QWidget>

#include "resources/resource_manager.h"

// Win32 style bits the factory reads.
namespace win32_style {
inline constexpr uint32_t kWsVisible = 0x10000000;
inline constexpr uint32_t kWsDisabled = 0x08000000;
inline constexpr uint32_t kWsTabStop = 0x00010000;
inline constexpr uint32_t kWsVScroll = 0x00200000;
inline constexpr uint32_t kWsHScroll = 0x00100000;
// BUTTON
inline constexpr uint32_t kBsTypeMask = 0x0F;
inline constexpr uint32_t kBsPushButton = 0x00;
inline constexpr uint32_t kBsDefPushButton = 0x01;
inline constexpr uint32_t kBsCheckBox = 0x02;
inline constexpr uint32_t kBsAutoCheckBox = 0x03;
inline constexpr uint32_t kBsRadioButton = 0x04;
inline constexpr uint32_t kBs3State = 0x05;
inline constexpr uint32_t kBsAuto3State = 0x06;
inline constexpr uint32_t kBsGroupBox = 0x07;
inline constexpr uint32_t kBsAutoRadioButton = 0x09;
// EDIT
inline constexpr uint32_t kEsCenter = 0x0001;
inline constexpr uint32_t kEsRight = 0x0002;
inline constexpr uint32_t kEsMultiline = 0x0004;
inline constexpr uint32_t kEsPassword = 0x0020;
inline constexpr uint32_t kEsReadOnly = 0x0800;
inline constexpr uint32_t kEsNumber = 0x2000;
// STATIC
inline constexpr uint32_t kSsTypeMask = 0x1F;
inline constexpr uint32_t kSsCenter = 0x01;
inline constexpr uint32_t kSsRight = 0x02;
inline constexpr uint32_t kSsIcon = 0x03;
inline constexpr uint32_t kSsBitmap = 0x0E;
inline constexpr uint32_t kSsEtchedHorz = 0x10;
inline constexpr uint32_t kSsEtchedVert = 0x11;
inline constexpr uint32_t kSsEtchedFrame = 0x12;
// COMBOBOX
inline constexpr uint32_t kCbsTypeMask = 0x03;
inline constexpr uint32_t kCbsSimple = 0x01;
inline constexpr uint32_t kCbsDropDown = 0x02;
inline constexpr uint32_t kCbsDropDownList = 0x03;
}  // namespace win32_style

// The program's own control classes that templates may name.
inline constexpr const char* kHexEditClass = "NorvaneHexBytes";  // HexEdit
inline constexpr const char* kReportClass = "NorvaneReport";
inline constexpr const char* kPropertyGridClass = "NorvanePropertyGrid";
inline constexpr const char* kModelTableClass = "NorvaneParamTable";  // QTableView over a model

// Creates the widget of `control` as a child of `parent` (not yet placed). The widget's
// objectName is the decimal control id; visibility and enabling follow WS_VISIBLE and
// WS_DISABLED.
QWidget* CreateControl(const DLGITEMTEMPLATEINFO& control, QWidget* parent);

// Whether `widget` is the placeholder made for an unknown class.
bool IsPlaceholderControl(const QWidget* widget);
