#include "frame_text.h"

#include <cmath>
#include <cstdio>

#include "cip/service.h"

namespace dnetmon {

namespace {

std::string Format(const char* format, auto... args) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::string ServiceText(uint8_t service) {
    switch (service) {
        case 0x4B: return "Allocate_Master/Slave_Connection_Set";
        case 0x4C: return "Release_Master/Slave_Connection_Set";
        default: break;
    }
    const std::string_view name = cip::ServiceName(service);
    return name.empty() ? Format("service 0x%02X", service) : std::string(name);
}

// An explicit message body after its header byte: request "service class instance" in the 8/8
// format, response "service|80 data" or "94 status FF".
std::string ExplicitText(bool response, std::span<const uint8_t> data) {
    if (data.empty()) return response ? "explicit response" : "explicit request";
    if ((data[0] & 0x80) != 0) {
        const std::string type = data.size() >= 2 ? (data[1] >> 6) == 0   ? "first"
                                                    : (data[1] >> 6) == 2 ? "last"
                                                                          : "middle"
                                                  : "?";
        return Format("%s fragment %d (%s)", response ? "explicit response" : "explicit request",
                      data.size() >= 2 ? data[1] & 0x3F : 0, type.c_str());
    }
    if (data.size() < 2) return response ? "explicit response" : "explicit request";
    const uint8_t service = data[1];
    if (response) {
        if (service == 0x94) {
            return data.size() >= 3 ? Format("error response: general status 0x%02X", data[2]) : "error response";
        }
        return "response " + ServiceText(service & 0x7F);
    }
    std::string text = ServiceText(service & 0x7F);
    if (service == 0x4B && data.size() >= 5) return text + Format(" choice 0x%02X", data[4]);
    if (data.size() >= 4) text += Format(" class 0x%02X instance %u", data[2], data[3]);
    return text;
}

}  // namespace

Record ParseRecord(std::span<const uint8_t, kRecordSize> b) {
    Record r;
    r.flags = b[0];
    r.canId = static_cast<uint16_t>((b[1] | b[2] << 8) & 0x7FF);
    const std::size_t n = b[3] > 8 ? 8 : b[3];
    r.data.assign(b.begin() + 4, b.begin() + 4 + n);
    r.timeMs = static_cast<uint32_t>(b[12] | b[13] << 8 | b[14] << 16 | static_cast<uint32_t>(b[15]) << 24);
    return r;
}

IdFields SplitId(uint16_t id) {
    id &= 0x7FF;
    if ((id & 0x400) == 0) return {1, static_cast<uint8_t>(id & 0x3F), static_cast<uint8_t>(id >> 6)};
    if ((id & 0x600) == 0x400) return {2, static_cast<uint8_t>((id >> 3) & 0x3F), static_cast<uint8_t>(id & 7)};
    if ((id & 0x7C0) < 0x7C0) return {3, static_cast<uint8_t>(id & 0x3F), static_cast<uint8_t>((id >> 6) & 7)};
    return {4, std::nullopt, static_cast<uint8_t>(id & 0x3F)};
}

std::string Meaning(uint16_t canId, std::span<const uint8_t> data) {
    const IdFields f = SplitId(canId);
    const unsigned mac = f.mac.value_or(0);
    switch (f.group) {
        case 1:
            switch (f.messageId) {
                case 12: return Format("multicast poll response from slave %u", mac);
                case 13: return Format("COS/cyclic data from slave %u", mac);
                case 14: return Format("bit-strobe response from slave %u", mac);
                case 15:
                    return data.empty() ? Format("poll response or COS/cyclic acknowledge from slave %u", mac)
                                        : Format("poll response from slave %u", mac);
                default: return Format("group 1 message %u of %u", f.messageId, mac);
            }
        case 2:
            switch (f.messageId) {
                case 0: return Format("bit-strobe command of master %u", mac);
                case 1: return Format("multicast poll command of master %u", mac);
                case 2: return Format("COS/cyclic acknowledge to slave %u", mac);
                case 3: return Format("explicit/unconnected response from %u: ", mac) + ExplicitText(true, data);
                case 4: return Format("explicit request to %u: ", mac) + ExplicitText(false, data);
                case 5: return Format("poll command or COS/cyclic data to slave %u", mac);
                case 6: return Format("unconnected request (group 2 only) to %u: ", mac) + ExplicitText(false, data);
                default: {
                    if (data.size() >= 7) {
                        const unsigned vendor = data[1] | data[2] << 8;
                        const unsigned serial =
                            data[3] | data[4] << 8 | data[5] << 16 | static_cast<unsigned>(data[6]) << 24;
                        return Format("duplicate MAC ID check %s of %u: vendor %u serial 0x%08X",
                                      (data[0] & 0x80) != 0 ? "response" : "request", mac, vendor, serial);
                    }
                    return Format("duplicate MAC ID check of %u", mac);
                }
            }
        case 3:
            switch (f.messageId) {
                case 5: return Format("unconnected explicit response from %u: ", mac) + ExplicitText(true, data);
                case 6: return Format("unconnected explicit request from %u: ", mac) + ExplicitText(false, data);
                default: return Format("group 3 message %u of %u", f.messageId, mac);
            }
        default:
            switch (f.messageId) {
                case 0x2C: return "communication faulted response";
                case 0x2D: return "communication faulted request";
                case 0x2E: return "offline ownership response";
                case 0x2F: return "offline ownership request";
                default: return Format("group 4 message 0x%02X", f.messageId);
            }
    }
}

std::string ReadableLine(const Record& r) {
    const IdFields f = SplitId(r.canId);
    std::string line = Format("%10.3f  %03X  G%d ", r.timeMs / 1000.0, r.canId, f.group);
    line += f.mac ? Format("mac %2u", *f.mac) : std::string("mac --");
    line += Format(" msg %2u  [%zu]", f.messageId, r.data.size());
    std::string bytes;
    for (uint8_t b : r.data) bytes += Format(" %02X", b);
    line += bytes;
    line.append(24 - bytes.size(), ' ');
    line += "  ";
    line += Meaning(r.canId, r.data);
    return line;
}

std::string CandumpLine(double unixSeconds, std::string_view interface, uint16_t canId, std::span<const uint8_t> data) {
    const long long whole = static_cast<long long>(unixSeconds);
    long long micros = std::llround((unixSeconds - static_cast<double>(whole)) * 1e6);
    long long secs = whole;
    if (micros >= 1000000) {
        ++secs;
        micros -= 1000000;
    }
    std::string line = Format("(%010lld.%06lld) ", secs, micros);
    line += interface;
    line += Format(" %03X#", canId & 0x7FF);
    for (uint8_t b : data) line += Format("%02X", b);
    return line;
}

std::optional<ProduceFrame> ParseFrameText(std::string_view text) {
    const std::size_t hash = text.find('#');
    if (hash == std::string_view::npos || hash == 0 || hash > 3) return std::nullopt;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    unsigned id = 0;
    for (char c : text.substr(0, hash)) {
        const int v = hex(c);
        if (v < 0) return std::nullopt;
        id = id * 16 + static_cast<unsigned>(v);
    }
    if (id > 0x7FF) return std::nullopt;
    ProduceFrame f;
    f.canId = static_cast<uint16_t>(id);
    std::string_view rest = text.substr(hash + 1);
    while (!rest.empty()) {
        if (rest.front() == '.') {
            rest.remove_prefix(1);
            continue;
        }
        if (rest.size() < 2) return std::nullopt;
        const int hi = hex(rest[0]);
        const int lo = hex(rest[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        f.data.push_back(static_cast<uint8_t>(hi * 16 + lo));
        rest.remove_prefix(2);
        if (f.data.size() > 8) return std::nullopt;
    }
    return f;
}

}  // namespace dnetmon
