#include "monitor/explicit_console.h"

#include "cip/service.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "resources/ui_texts.h"

namespace monitor {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The whole text as a number of that base within uint32_t.
std::optional<uint32_t> ParseNumber(std::string_view text, int base) {
    text = Trim(text);
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

std::vector<std::string> ClassListTexts() {
    std::vector<std::string> texts;
    for (int i = 1; i <= 99; ++i) texts.push_back(Format("%X", i));
    return texts;
}

std::vector<std::string> InstanceListTexts() {
    std::vector<std::string> texts;
    for (int i = 1; i <= 99; ++i) texts.push_back(std::to_string(i));
    return texts;
}

std::vector<std::string> ConnectionTypeTexts() { return {"0=strobe", "1=poll", "2=cos", "3=cyclic"}; }

SlaveList BuildSlaveList(std::span<const int> addresses, int target) {
    SlaveList list;
    for (int address : addresses) {
        if (address == target && list.selected < 0) list.selected = static_cast<int>(list.texts.size());
        list.texts.push_back(std::to_string(address));
    }
    return list;
}

PreparedRequest PrepareRequest(int serviceIndex, std::string_view classText, std::string_view instanceText,
                               std::span<const uint8_t> serviceData) {
    PreparedRequest result;
    const auto services = cip::Services();
    if (serviceIndex < 0 || static_cast<std::size_t>(serviceIndex) >= services.size()) serviceIndex = 0;
    if (Trim(classText).empty()) {
        result.message = resources::Text(resource_ids::kTextSetClassId);
        return result;
    }
    const auto classId = ParseNumber(classText, 16);
    if (!classId) {
        result.message = resources::FormatText(resource_ids::kTextClassIdNotHex, std::string(Trim(classText)).c_str());
        return result;
    }
    if (Trim(instanceText).empty()) {
        result.message = resources::Text(resource_ids::kTextSetInstanceId);
        return result;
    }
    const auto instanceId = ParseNumber(instanceText, 10);
    if (!instanceId) {
        result.message =
            resources::FormatText(resource_ids::kTextInstanceIdNotDecimal, std::string(Trim(instanceText)).c_str());
        return result;
    }
    ExplicitRequest request;
    request.service = cip::Code(services[static_cast<std::size_t>(serviceIndex)].service);
    request.classId = *classId;
    request.instanceId = *instanceId;
    request.data = PayloadOf(serviceData);
    result.request = std::move(request);
    return result;
}

std::vector<uint8_t> PayloadOf(std::span<const uint8_t> editorBytes) {
    const std::size_t n = std::min(editorBytes.size(), kConsoleBufferSize);
    std::vector<uint8_t> bytes(editorBytes.begin(), editorBytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (bytes.empty()) bytes.push_back(0);
    return bytes;
}

std::string RequestContext(const ExplicitRequest& request) {
    return resources::FormatText(resource_ids::kTextConsoleRequestFailed, static_cast<unsigned>(request.service),
                                 static_cast<unsigned>(request.classId), static_cast<int>(request.instanceId));
}

SendOutcome SendRequest(const ConsoleApi& api, IConsoleReports& reports, uint32_t mac, const ExplicitRequest& request,
                        uint32_t timeoutMs, bool timed, int retryCount) {
    SendOutcome outcome;
    const std::string context = RequestContext(request);
    int retries = 0;
    for (;;) {
        std::array<uint8_t, kConsoleBufferSize> reply{};
        uint32_t replyLength = kConsoleBufferSize;
        const uint32_t code = api.emRequest(mac, request.service, request.classId, request.instanceId, request.data,
                                            reply, replyLength, timeoutMs);
        if (code != 0) {
            const auto signedCode = static_cast<int32_t>(code);
            reports.ReportApiError(signedCode, context);
            if (!timed) return outcome;
            ++retries;
            if (retries <= retryCount) {
                reports.ReportApiError(signedCode,
                                       context + resources::FormatText(resource_ids::kTextRetryCount, retries));
                continue;
            }
            reports.ReportApiError(signedCode,
                                   context + resources::FormatText(resource_ids::kTextRetriesExhausted, retryCount));
            return outcome;
        }
        // A reply length beyond the buffer is not trusted further than the buffer.
        const std::size_t length = std::min<std::size_t>(replyLength, reply.size());
        if (length == 3 && reply[0] == 0x94 && reply[2] == 0xFF) {
            reports.ReportExplicitError(reply[1], resources::Text(resource_ids::kTextServiceNotSupported));
            return outcome;
        }
        outcome.reply.assign(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(length));
        outcome.ok = true;
        return outcome;
    }
}

int ReadLengthFor(int connectionType, const IoInputSizes& sizes) {
    switch (connectionType) {
        case 0: return sizes.strobe;
        case 1: return sizes.poll;
        case 2:
        case 3: return sizes.cosCyclic;
        default: return 0;
    }
}

IoReadOutcome ReadIo(const ConsoleApi& api, IConsoleReports& reports, uint32_t mac, int connectionType,
                     const IoInputSizes& sizes, uint32_t timeoutMs) {
    IoReadOutcome outcome;
    const int wanted = ReadLengthFor(connectionType, sizes);
    if (wanted <= 0) {
        outcome.message = resources::Text(resource_ids::kTextNoSuchConnection);
        return outcome;
    }
    std::array<uint8_t, kConsoleBufferSize> buffer{};
    uint32_t length = static_cast<uint32_t>(std::min<std::size_t>(static_cast<std::size_t>(wanted), buffer.size()));
    const uint32_t code = api.readIo(mac, static_cast<uint32_t>(connectionType), buffer, length, timeoutMs);
    if (code != 0)
        reports.ReportApiError(static_cast<int32_t>(code),
                               resources::FormatText(resource_ids::kTextConsoleReadIoFailed, static_cast<int>(mac)));
    length = static_cast<uint32_t>(std::min<std::size_t>(length, buffer.size()));
    outcome.length = length;
    outcome.data.assign(buffer.begin(), buffer.begin() + length);
    return outcome;
}

IoWriteOutcome WriteIo(const ConsoleApi& api, IConsoleReports& reports, uint32_t mac, int connectionType,
                       std::span<const uint8_t> editorBytes, uint32_t timeoutMs) {
    IoWriteOutcome outcome;
    const std::vector<uint8_t> data = PayloadOf(editorBytes);
    outcome.length = static_cast<uint32_t>(data.size());
    const uint32_t code = api.writeIo(mac, static_cast<uint32_t>(connectionType), data, timeoutMs);
    if (code != 0) {
        reports.ReportApiError(static_cast<int32_t>(code),
                               resources::FormatText(resource_ids::kTextConsoleWriteIoFailed, static_cast<int>(mac)));
        return outcome;
    }
    outcome.ok = true;
    outcome.message = resources::Text(resource_ids::kTextWriteDone);
    return outcome;
}

std::string StatusLine(uint32_t status, const std::function<std::string(int32_t)>& statusText) {
    return statusText(static_cast<int32_t>(status));
}

RetryInput CheckRetryCount(std::string_view text, int lastAccepted) {
    RetryInput input;
    const auto value = ParseNumber(text, 10);
    if (!value || *value > static_cast<uint32_t>(kMaxRetryCount)) {
        input.value = lastAccepted;
        input.message = resources::Text(resource_ids::kTextRetryRange);
        return input;
    }
    input.value = static_cast<int>(*value);
    return input;
}

}  // namespace monitor
