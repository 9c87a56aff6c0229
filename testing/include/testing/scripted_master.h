// The master API scripted in-process: a table of the sixteen functions that record every call
// and answer as a test tells them, for code that reaches the API through a VardaFunctions table.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "varda_functions.h"

namespace testkit {

// One call: the function's export name and its integer arguments in order (a slave record is
// given as its MAC ID, pointers are left out).
struct MasterCall {
    std::string function;
    std::vector<uint32_t> args;

    // "VARDA_AddSlave(1,7)"
    std::string Text() const;
    bool operator==(const MasterCall&) const = default;
};

// While an object lives, the table of Functions() reaches it. One at a time.
class ScriptedMaster {
public:
    // Answers a call with a result code instead of the default one; nothing: the default.
    using Script = std::function<std::optional<uint32_t>(const MasterCall&)>;

    ScriptedMaster();
    ~ScriptedMaster();
    ScriptedMaster(const ScriptedMaster&) = delete;
    ScriptedMaster& operator=(const ScriptedMaster&) = delete;

    // The sixteen functions.
    static const VardaFunctions& Functions();

    void SetScript(Script script);
    // The next `count` calls of `function` return `code`.
    void Fail(const std::string& function, uint32_t code, uint32_t count = 1);
    // What VARDA_GetSlaveStatus answers for a slave (default VARDA_SLAVE_NO_ANSWER).
    void SetSlaveStatus(uint32_t mac, uint32_t status);

    std::vector<MasterCall> Calls() const;
    // The texts of the calls, optionally only those of one function.
    std::vector<std::string> CallTexts(const std::string& function = {}) const;
    std::size_t CountOf(const std::string& function) const;
    // Adapters opened and not closed, and handles initialised and not released.
    uint32_t OpenAdapters() const;
    uint32_t LiveHandles() const;

    // Used by the table's functions: records the call and gives the scripted answer, if any.
    std::optional<uint32_t> Record(MasterCall call);
    // Default answers that keep state.
    uint32_t DefaultOpen(uint32_t type, uint32_t index);
    uint32_t DefaultClose(uint32_t type, uint32_t index);
    uint32_t DefaultInit(uint32_t* handle);
    uint32_t DefaultUninit(uint32_t handle);
    uint32_t SlaveStatus(uint32_t mac) const;

private:
    mutable std::mutex lock_;
    Script script_;
    std::map<std::string, std::pair<uint32_t, uint32_t>> failures_;  // function -> (code, count)
    std::map<uint32_t, uint32_t> slaveStatus_;
    std::vector<MasterCall> calls_;
    std::map<std::pair<uint32_t, uint32_t>, bool> open_;
    std::map<uint32_t, bool> handles_;
    uint32_t nextHandle_ = 1;
};

}  // namespace testkit
