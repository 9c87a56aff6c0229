#include "monitor/data_pane_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>

#include "monitor/slave_panel_groups.h"
#include "services/core_services.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"

namespace monitor {

std::string_view ConnectionWord(int type) {
    switch (type) {
        case kConnStrobe: return "Strobe IO,";
        case kConnCos: return "COS IO,";
        case kConnCyclic: return "CYCLIC IO,";
        default: return "Poll IO,";
    }
}

std::string IoReportContext(int address, int type, std::string_view function) {
    std::string text = "Slave ID=" + std::to_string(address) + ",";
    text += ConnectionWord(type);
    text += function;
    return text;
}

TimerPeriod PeriodFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return {timer_periods::kDataPaneMs, true};
    }
    if (!digits || negative || value <= 0) return {timer_periods::kDataPaneMs, true};
    return {static_cast<int>(value), false};
}

void IncrementBytes(std::span<uint8_t> bytes) {
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(byte + 1);
}

PaneTarget TargetOf(const CSlaveDev& slave) {
    PaneTarget target;
    target.address = slave.GetAddress();
    target.online = slave.IsRunning() != 0;
    if (const CServerDev* master = slave.GetParent(); master != nullptr) target.handle = master->Handle();
    return target;
}

bool IsInNetwork(const CSlaveDev* slave) {
    if (slave == nullptr) return false;
    for (const CServerDev* master : GetNetwork().Masters()) {
        for (int i = 0; i < master->GetChildCount(); ++i) {
            if (master->GetChild(i) == slave) return true;
        }
    }
    return false;
}

uint32_t ReadPane(const PaneTarget& target, int type, uint8_t size, std::vector<uint8_t>& bytes,
                  const VardaFunctions& api) {
    std::vector<uint8_t> buffer(size, 0);
    uint32_t length = size;
    const uint32_t code = api.ReadSlaveIO(target.handle, static_cast<uint32_t>(target.address),
                                          static_cast<uint32_t>(type), buffer.data(), &length, 0);
    if (code != 0) {
        netsvc::ReportApiError(code, IoReportContext(target.address, type, "VARDA_ReadSlaveIO"));
        return code;
    }
    // Bytes past the length the master gave back read 0, whatever the library left there.
    std::fill(buffer.begin() + std::min<std::size_t>(length, buffer.size()), buffer.end(), uint8_t{0});
    bytes = std::move(buffer);
    return 0;
}

uint32_t WritePane(const PaneTarget& target, int type, std::span<const uint8_t> bytes, const VardaFunctions& api) {
    const uint32_t code =
        api.WriteSlaveIO(target.handle, static_cast<uint32_t>(target.address), static_cast<uint32_t>(type),
                         bytes.data(), static_cast<uint32_t>(bytes.size()), 0);
    if (code != 0) netsvc::ReportApiError(code, IoReportContext(target.address, type, "VARDA_WriteSlaveIO"));
    return code;
}

uint32_t WriteStrobe(const PaneTarget& target, bool strobed, const VardaFunctions& api) {
    std::array<uint8_t, 8> buffer{};
    buffer[0] = strobed ? 1 : 0;
    return WritePane(target, kConnStrobe, buffer, api);
}

}  // namespace monitor
