#include "testing/scripted_master.h"

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace testkit {

namespace {

std::atomic<ScriptedMaster*> current{nullptr};

ScriptedMaster& Current() {
    ScriptedMaster* master = current.load(std::memory_order_acquire);
    if (master == nullptr) throw std::logic_error("the scripted master API was called with no ScriptedMaster alive");
    return *master;
}

// Records the call; the scripted answer, else `fallback()`.
template <typename Fallback>
uint32_t Answer(MasterCall call, Fallback fallback) {
    ScriptedMaster& master = Current();
    if (std::optional<uint32_t> scripted = master.Record(std::move(call))) return *scripted;
    return fallback(master);
}

uint32_t Ok(ScriptedMaster&) { return VARDA_OK; }

uint32_t Open(uint32_t type, uint32_t index, uint32_t reserved) {
    return Answer({"VARDA_Open", {type, index, reserved}},
                  [&](ScriptedMaster& m) { return m.DefaultOpen(type, index); });
}

uint32_t ReadBoardInfo(uint32_t type, uint32_t index, VARDA_BOARD_INFO* info) {
    return Answer({"VARDA_ReadBoardInfo", {type, index}}, [&](ScriptedMaster&) {
        if (info != nullptr) *info = VARDA_BOARD_INFO{};
        return VARDA_OK;
    });
}

uint32_t Close(uint32_t type, uint32_t index) {
    return Answer({"VARDA_Close", {type, index}}, [&](ScriptedMaster& m) { return m.DefaultClose(type, index); });
}

uint32_t Init(uint32_t type, uint32_t index, uint32_t channel, const VARDA_INIT_PARAM* param, uint32_t* handle) {
    MasterCall call{"VARDA_Init", {type, index, channel}};
    if (param != nullptr) {
        call.args.push_back(param->MacId);
        call.args.push_back(param->BaudRate);
    }
    return Answer(std::move(call), [&](ScriptedMaster& m) { return m.DefaultInit(handle); });
}

uint32_t Uninit(uint32_t handle) {
    return Answer({"VARDA_Uninit", {handle}}, [&](ScriptedMaster& m) { return m.DefaultUninit(handle); });
}

uint32_t Online(uint32_t handle) { return Answer({"VARDA_Online", {handle}}, Ok); }
uint32_t Offline(uint32_t handle) { return Answer({"VARDA_Offline", {handle}}, Ok); }
uint32_t StartScan(uint32_t handle) { return Answer({"VARDA_StartScan", {handle}}, Ok); }
uint32_t StopScan(uint32_t handle) { return Answer({"VARDA_StopScan", {handle}}, Ok); }

uint32_t AddSlave(uint32_t handle, const VARDA_SLAVE_CONFIG* slave) {
    return Answer({"VARDA_AddSlave", {handle, slave != nullptr ? slave->MacId : 0xFFFFFFFFu}}, Ok);
}

uint32_t RemoveSlave(uint32_t handle, uint32_t mac) { return Answer({"VARDA_RemoveSlave", {handle, mac}}, Ok); }
uint32_t SaveCfg(uint32_t handle) { return Answer({"VARDA_SaveCfg", {handle}}, Ok); }

uint32_t EMRequest(uint32_t handle, uint32_t mac, uint32_t service, uint32_t classId, uint32_t instanceId,
                   const uint8_t* /*request*/, uint32_t requestLength, uint8_t* /*reply*/, uint32_t* replyLength,
                   uint32_t timeoutMs) {
    return Answer({"VARDA_EMRequest", {handle, mac, service, classId, instanceId, requestLength, timeoutMs}},
                  [&](ScriptedMaster&) {
                      if (replyLength != nullptr) *replyLength = 0;
                      return VARDA_OK;
                  });
}

uint32_t ReadSlaveIO(uint32_t handle, uint32_t mac, uint32_t connection, uint8_t* data, uint32_t* length,
                     uint32_t timeoutMs) {
    return Answer({"VARDA_ReadSlaveIO", {handle, mac, connection, timeoutMs}}, [&](ScriptedMaster&) {
        if (data != nullptr && length != nullptr) std::memset(data, 0, *length);
        return VARDA_OK;
    });
}

uint32_t WriteSlaveIO(uint32_t handle, uint32_t mac, uint32_t connection, const uint8_t* /*data*/, uint32_t length,
                      uint32_t timeoutMs) {
    return Answer({"VARDA_WriteSlaveIO", {handle, mac, connection, length, timeoutMs}}, Ok);
}

uint32_t GetSlaveStatus(uint32_t handle, uint32_t mac) {
    return Answer({"VARDA_GetSlaveStatus", {handle, mac}}, [&](ScriptedMaster& m) { return m.SlaveStatus(mac); });
}

}  // namespace

std::string MasterCall::Text() const {
    std::string text = function + "(";
    for (std::size_t i = 0; i < args.size(); ++i) text += (i > 0 ? "," : "") + std::to_string(args[i]);
    return text + ")";
}

ScriptedMaster::ScriptedMaster() {
    ScriptedMaster* expected = nullptr;
    if (!current.compare_exchange_strong(expected, this)) throw std::logic_error("a ScriptedMaster is alive already");
}

ScriptedMaster::~ScriptedMaster() { current.store(nullptr, std::memory_order_release); }

const VardaFunctions& ScriptedMaster::Functions() {
    static const VardaFunctions table{&Open,      &ReadBoardInfo, &Close,        &Init,          &Uninit,      &Online,
                                      &Offline,   &StartScan,     &StopScan,     &AddSlave,      &RemoveSlave, &SaveCfg,
                                      &EMRequest, &ReadSlaveIO,   &WriteSlaveIO, &GetSlaveStatus};
    return table;
}

void ScriptedMaster::SetScript(Script script) {
    std::lock_guard guard(lock_);
    script_ = std::move(script);
}

void ScriptedMaster::Fail(const std::string& function, uint32_t code, uint32_t count) {
    std::lock_guard guard(lock_);
    failures_[function] = {code, count};
}

void ScriptedMaster::SetSlaveStatus(uint32_t mac, uint32_t status) {
    std::lock_guard guard(lock_);
    slaveStatus_[mac] = status;
}

std::vector<MasterCall> ScriptedMaster::Calls() const {
    std::lock_guard guard(lock_);
    return calls_;
}

std::vector<std::string> ScriptedMaster::CallTexts(const std::string& function) const {
    std::vector<std::string> texts;
    for (const MasterCall& call : Calls())
        if (function.empty() || call.function == function) texts.push_back(call.Text());
    return texts;
}

std::size_t ScriptedMaster::CountOf(const std::string& function) const { return CallTexts(function).size(); }

uint32_t ScriptedMaster::OpenAdapters() const {
    std::lock_guard guard(lock_);
    return static_cast<uint32_t>(open_.size());
}

uint32_t ScriptedMaster::LiveHandles() const {
    std::lock_guard guard(lock_);
    return static_cast<uint32_t>(handles_.size());
}

std::optional<uint32_t> ScriptedMaster::Record(MasterCall call) {
    Script script;
    {
        std::lock_guard guard(lock_);
        calls_.push_back(call);
        auto failure = failures_.find(call.function);
        if (failure != failures_.end() && failure->second.second > 0) {
            --failure->second.second;
            return failure->second.first;
        }
        script = script_;
    }
    return script ? script(call) : std::nullopt;
}

uint32_t ScriptedMaster::DefaultOpen(uint32_t type, uint32_t index) {
    std::lock_guard guard(lock_);
    return open_.emplace(std::pair{type, index}, true).second ? VARDA_OK : VARDA_ERR_ALREADY_OPEN;
}

uint32_t ScriptedMaster::DefaultClose(uint32_t type, uint32_t index) {
    std::lock_guard guard(lock_);
    return open_.erase({type, index}) != 0 ? VARDA_OK : VARDA_ERR_NOT_OPEN;
}

uint32_t ScriptedMaster::DefaultInit(uint32_t* handle) {
    std::lock_guard guard(lock_);
    if (handle == nullptr) return VARDA_ERR_INVALID_PARAM;
    *handle = nextHandle_++;
    handles_[*handle] = true;
    return VARDA_OK;
}

uint32_t ScriptedMaster::DefaultUninit(uint32_t handle) {
    std::lock_guard guard(lock_);
    return handles_.erase(handle) != 0 ? VARDA_OK : VARDA_ERR_INVALID_HANDLE;
}

uint32_t ScriptedMaster::SlaveStatus(uint32_t mac) const {
    std::lock_guard guard(lock_);
    auto it = slaveStatus_.find(mac);
    return it == slaveStatus_.end() ? VARDA_SLAVE_NO_ANSWER : it->second;
}

}  // namespace testkit
