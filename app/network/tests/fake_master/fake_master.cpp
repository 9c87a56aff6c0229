#include "fake_master.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "varda_api.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Call {
    std::string text;
    double timeMs;
};

struct State {
    std::mutex lock;
    std::vector<Call> calls;
    std::map<std::string, std::pair<uint32_t, uint32_t>> failures;  // function -> (code, remaining)
    uint32_t initHandle = 0x100;
    std::map<uint32_t, uint32_t> status;
    uint32_t statusDelayMs = 0;
    std::map<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>, std::vector<uint8_t>> attributes;
    std::set<std::pair<uint32_t, uint32_t>> openDevices;
    std::set<uint32_t> handles;
    std::set<uint32_t> scanList;
    uint64_t statusQueries = 0;
    uint32_t nextHandle = 0;
};

State& S() {
    static State state;
    return state;
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Logs the call and returns the scripted failure code for it, or 0.
uint32_t Enter(State& s, const char* function, const std::string& args) {
    s.calls.push_back({std::string(function) + "(" + args + ")", NowMs()});
    auto it = s.failures.find(function);
    if (it == s.failures.end() || it->second.second == 0) return 0;
    if (it->second.second != 0xFFFFFFFFu) --it->second.second;
    return it->second.first;
}

std::string Num(uint32_t v) { return std::to_string(v); }

}  // namespace

FAKE_EXPORT void FakeMaster_Reset() {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.calls.clear();
    s.failures.clear();
    s.initHandle = 0x100;
    s.status.clear();
    s.statusDelayMs = 0;
    s.attributes.clear();
    s.openDevices.clear();
    s.handles.clear();
    s.scanList.clear();
    s.statusQueries = 0;
    s.nextHandle = 0;
}

FAKE_EXPORT void FakeMaster_Fail(const char* function, uint32_t code, uint32_t count) {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.failures[function] = {code, count};
}

FAKE_EXPORT void FakeMaster_SetInitHandle(uint32_t handle) {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.initHandle = handle;
}

FAKE_EXPORT void FakeMaster_SetSlaveStatus(uint32_t mac, uint32_t status) {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.status[mac] = status;
}

FAKE_EXPORT void FakeMaster_SetStatusDelay(uint32_t ms) {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.statusDelayMs = ms;
}

FAKE_EXPORT void FakeMaster_SetAttribute(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr, const uint8_t* data,
                                         uint32_t length) {
    State& s = S();
    std::lock_guard guard(s.lock);
    s.attributes[{mac, cls, inst, attr}] = std::vector<uint8_t>(data, data + length);
}

FAKE_EXPORT uint32_t FakeMaster_GetAttribute(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr, uint8_t* out,
                                             uint32_t capacity) {
    State& s = S();
    std::lock_guard guard(s.lock);
    auto it = s.attributes.find({mac, cls, inst, attr});
    if (it == s.attributes.end()) return 0;
    uint32_t n = std::min<uint32_t>(capacity, static_cast<uint32_t>(it->second.size()));
    std::memcpy(out, it->second.data(), n);
    return n;
}

FAKE_EXPORT uint32_t FakeMaster_CallCount() {
    State& s = S();
    std::lock_guard guard(s.lock);
    return static_cast<uint32_t>(s.calls.size());
}

FAKE_EXPORT uint32_t FakeMaster_CallText(uint32_t index, char* out, uint32_t capacity) {
    State& s = S();
    std::lock_guard guard(s.lock);
    if (index >= s.calls.size() || capacity == 0) return 0;
    const std::string& text = s.calls[index].text;
    uint32_t n = std::min<uint32_t>(capacity - 1, static_cast<uint32_t>(text.size()));
    std::memcpy(out, text.data(), n);
    out[n] = 0;
    return n;
}

FAKE_EXPORT double FakeMaster_CallTimeMs(uint32_t index) {
    State& s = S();
    std::lock_guard guard(s.lock);
    return index < s.calls.size() ? s.calls[index].timeMs : 0.0;
}

FAKE_EXPORT uint64_t FakeMaster_StatusQueries() {
    State& s = S();
    std::lock_guard guard(s.lock);
    return s.statusQueries;
}

FAKE_EXPORT uint32_t FakeMaster_OpenDevices() {
    State& s = S();
    std::lock_guard guard(s.lock);
    return static_cast<uint32_t>(s.openDevices.size());
}

FAKE_EXPORT uint32_t FakeMaster_InitHandles() {
    State& s = S();
    std::lock_guard guard(s.lock);
    return static_cast<uint32_t>(s.handles.size());
}

// ---------------------------------------------------------------------------------------------

FAKE_EXPORT uint32_t VARDA_Open(uint32_t type, uint32_t index, uint32_t reserved) {
    State& s = S();
    std::lock_guard guard(s.lock);
    if (uint32_t rc = Enter(s, "VARDA_Open", Num(type) + "," + Num(index) + "," + Num(reserved))) return rc;
    if (!s.openDevices.insert({type, index}).second) return VARDA_ERR_ALREADY_OPEN;
    return VARDA_OK;
}

FAKE_EXPORT uint32_t VARDA_ReadBoardInfo(uint32_t type, uint32_t index, VARDA_BOARD_INFO* info) {
    State& s = S();
    std::lock_guard guard(s.lock);
    if (uint32_t rc = Enter(s, "VARDA_ReadBoardInfo", Num(type) + "," + Num(index))) return rc;
    if (info == nullptr) return VARDA_ERR_INVALID_PARAM;
    std::memset(info, 0, sizeof *info);
    return VARDA_OK;
}

FAKE_EXPORT uint32_t VARDA_Close(uint32_t type, uint32_t index) {
    State& s = S();
    std::lock_guard guard(s.lock);
    if (uint32_t rc = Enter(s, "VARDA_Close", Num(type) + "," + Num(index))) return rc;
    if (s.openDevices.erase({type, index}) == 0) return VARDA_ERR_NOT_OPEN;
    return VARDA_OK;
}

FAKE_EXPORT uint32_t VARDA_Init(uint32_t type, uint32_t index, uint32_t channel, const VARDA_INIT_PARAM* param,
                                uint32_t* handleOut) {
    State& s = S();
    std::lock_guard guard(s.lock);
    std::string args = Num(type) + "," + Num(index) + "," + Num(channel);
    if (param != nullptr) args += ",mac=" + Num(param->MacId) + ",baud=" + Num(param->BaudRate);
    if (handleOut == nullptr) return VARDA_ERR_INVALID_PARAM;
    *handleOut = VARDA_INVALID_HANDLE;
    if (uint32_t rc = Enter(s, "VARDA_Init", args)) return rc;
    if (s.openDevices.count({type, index}) == 0) return VARDA_ERR_NOT_OPEN;
    if (s.initHandle == 0) {
        *handleOut = 0;
        return VARDA_OK;
    }
    uint32_t handle = s.initHandle + s.nextHandle++;
    s.handles.insert(handle);
    *handleOut = handle;
    return VARDA_OK;
}

namespace {

uint32_t HandleCall(const char* function, uint32_t handle, const std::string& args = "") {
    State& s = S();
    std::lock_guard guard(s.lock);
    if (uint32_t rc = Enter(s, function, args)) return rc;
    if (s.handles.count(handle) == 0) return VARDA_ERR_INVALID_HANDLE;
    if (std::strcmp(function, "VARDA_Uninit") == 0) {
        s.handles.erase(handle);
        s.scanList.clear();
    }
    return VARDA_OK;
}

}  // namespace

FAKE_EXPORT uint32_t VARDA_Uninit(uint32_t handle) { return HandleCall("VARDA_Uninit", handle); }
FAKE_EXPORT uint32_t VARDA_Online(uint32_t handle) { return HandleCall("VARDA_Online", handle); }
FAKE_EXPORT uint32_t VARDA_Offline(uint32_t handle) { return HandleCall("VARDA_Offline", handle); }
FAKE_EXPORT uint32_t VARDA_StartScan(uint32_t handle) { return HandleCall("VARDA_StartScan", handle); }
FAKE_EXPORT uint32_t VARDA_StopScan(uint32_t handle) { return HandleCall("VARDA_StopScan", handle); }
FAKE_EXPORT uint32_t VARDA_SaveCfg(uint32_t handle) { return HandleCall("VARDA_SaveCfg", handle); }

FAKE_EXPORT uint32_t VARDA_AddSlave(uint32_t handle, const VARDA_SLAVE_CONFIG* config) {
    std::string args = config == nullptr ? std::string("null")
                                         : Num(config->MacId) + ",flags=" + Num(config->ConnectionFlags) +
                                               ",vendor=" + Num(config->VendorId);
    uint32_t rc = HandleCall("VARDA_AddSlave", handle, args);
    if (rc != 0) return rc;
    if (config == nullptr || config->MacId > 63) return VARDA_ERR_INVALID_PARAM;
    State& s = S();
    std::lock_guard guard(s.lock);
    if (!s.scanList.insert(config->MacId).second) return VARDA_ERR_SLAVE_EXISTS;
    return VARDA_OK;
}

FAKE_EXPORT uint32_t VARDA_RemoveSlave(uint32_t handle, uint32_t mac) {
    uint32_t rc = HandleCall("VARDA_RemoveSlave", handle, Num(mac));
    if (rc != 0) return rc;
    State& s = S();
    std::lock_guard guard(s.lock);
    if (mac == VARDA_ALL_SLAVES) {
        s.scanList.clear();
        return VARDA_OK;
    }
    if (mac > 63) return VARDA_ERR_INVALID_PARAM;
    return s.scanList.erase(mac) != 0 ? VARDA_OK : VARDA_ERR_NO_SLAVE;
}

FAKE_EXPORT uint32_t VARDA_EMRequest(uint32_t handle, uint32_t mac, uint32_t service, uint32_t cls, uint32_t inst,
                                     const uint8_t* request, uint32_t requestLength, uint8_t* response,
                                     uint32_t* responseLength, uint32_t timeoutMs) {
    std::string args = Num(mac) + ",svc=" + Num(service) + ",class=" + Num(cls) + ",inst=" + Num(inst) +
                       ",len=" + Num(requestLength) + ",timeout=" + Num(timeoutMs);
    if (request != nullptr && requestLength > 0) args += ",attr=" + Num(request[0]);
    if (responseLength == nullptr) return VARDA_ERR_INVALID_PARAM;
    uint32_t capacity = *responseLength;
    *responseLength = 0;
    uint32_t rc = HandleCall("VARDA_EMRequest", handle, args);
    if (rc != 0) return rc;
    if (request == nullptr || response == nullptr || requestLength == 0) return VARDA_ERR_INVALID_PARAM;
    State& s = S();
    std::lock_guard guard(s.lock);
    auto key = std::make_tuple(mac, cls, inst, static_cast<uint32_t>(request[0]));
    if (service == CIP_SET_ATTRIBUTE_SINGLE) {
        s.attributes[key] = std::vector<uint8_t>(request + 1, request + requestLength);
        return VARDA_OK;
    }
    if (service == CIP_GET_ATTRIBUTE_SINGLE) {
        auto it = s.attributes.find(key);
        if (it == s.attributes.end()) return VARDA_ERR_TIMEOUT;
        uint32_t n = std::min<uint32_t>(capacity, static_cast<uint32_t>(it->second.size()));
        std::memcpy(response, it->second.data(), n);
        *responseLength = n;
        return VARDA_OK;
    }
    return VARDA_ERR_NOT_IMPLEMENTED;
}

FAKE_EXPORT uint32_t VARDA_ReadSlaveIO(uint32_t handle, uint32_t mac, uint32_t conn, uint8_t* buffer, uint32_t* length,
                                       uint32_t) {
    if (length != nullptr) *length = 0;
    (void)buffer;
    return HandleCall("VARDA_ReadSlaveIO", handle, Num(mac) + "," + Num(conn));
}

FAKE_EXPORT uint32_t VARDA_WriteSlaveIO(uint32_t handle, uint32_t mac, uint32_t conn, const uint8_t*, uint32_t length,
                                        uint32_t) {
    return HandleCall("VARDA_WriteSlaveIO", handle, Num(mac) + "," + Num(conn) + "," + Num(length));
}

FAKE_EXPORT uint32_t VARDA_GetSlaveStatus(uint32_t handle, uint32_t mac) {
    uint32_t delay = 0;
    uint32_t status = VARDA_SLAVE_NO_ANSWER;
    {
        State& s = S();
        std::lock_guard guard(s.lock);
        ++s.statusQueries;
        if (s.handles.count(handle) == 0) return VARDA_ERR_INVALID_HANDLE;
        auto it = s.status.find(mac);
        if (it != s.status.end()) status = it->second;
        delay = s.statusDelayMs;
    }
    if (delay != 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    return status;
}
