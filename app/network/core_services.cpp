// The network model's application services, provided by CGlobal and the text encoding helpers.
#include "network/core_services.h"

#include <algorithm>

#include "platform/text_encoding.h"
#include "services/global.h"

namespace netsvc {

void ReportApiError(uint32_t code, std::string_view context) {
    GetGlobal().ReportApiError(static_cast<int32_t>(code), context);
}

std::string StatusText(uint32_t code) { return GetGlobal().GetStatusText(static_cast<int32_t>(code)); }

std::string BaudName(uint32_t index) { return GetGlobal().GetBaudName(static_cast<int32_t>(index)); }

std::string DeviceTypeName(uint32_t type) { return GetGlobal().GetDeviceTypeName(static_cast<int32_t>(type)); }

uint32_t ChannelCount(uint32_t type) {
    return static_cast<uint32_t>(std::max<int32_t>(0, GetGlobal().GetChannelCount(static_cast<int32_t>(type))));
}

void ShowMessage(std::string_view text) {
    CGlobal& global = GetGlobal();
    name_share::IHost* host = global.Host();
    if (host == nullptr) return;
    name_share::MessageBoxRequest request;
    request.owner = host->MainWindow();
    request.text = std::string(text);
    request.type = name_share::kMbOk;
    host->ShowMessageBox(request);
}

void Log(LogLevel level, std::string_view text) {
    std::string line(text);
    GetGlobal().LogMessage(static_cast<int>(level), "%s", line.c_str());
}

std::string FileTextToUtf8(std::string_view bytes) { return platform::ToUtf8(bytes); }

std::string Utf8ToGb18030(std::string_view text) { return platform::Utf8ToGb18030(text); }

}  // namespace netsvc
