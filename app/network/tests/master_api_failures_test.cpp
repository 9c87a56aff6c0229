// The failure counter of the soak test: what it counts, and that every call passes through it
// unchanged to the table below.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "network/master_api_failures.h"
#include "testing/scripted_master.h"

namespace {

using Count = netsvc::MasterApiFailureCount;

uint32_t Call(Count::Function function) {
    const VardaFunctions& api = netsvc::MasterApi();
    uint8_t buffer[8] = {};
    uint32_t length = sizeof buffer;
    switch (function) {
        case Count::kEMRequest: return api.EMRequest(1, 5, 0x0E, 1, 1, buffer, 1, buffer, &length, 3000);
        case Count::kReadSlaveIO: return api.ReadSlaveIO(1, 5, 0, buffer, &length, 0);
        default: return api.WriteSlaveIO(1, 5, 0, buffer, 2, 0);
    }
}

TEST(MasterApiFailureCountTest, CountsTheFailuresTheProgramMustReport) {
    struct Case {
        Count::Function function;
        uint32_t code;
        bool explicitOn;
        uint64_t counted;
    };
    const Case cases[] = {
        {Count::kReadSlaveIO, VARDA_ERR_INTERNAL, false, 1},
        {Count::kWriteSlaveIO, 77, false, 1},
        {Count::kReadSlaveIO, VARDA_OK, false, 0},
        {Count::kEMRequest, VARDA_ERR_INTERNAL, false, 0},  // search probes, surveys
        {Count::kEMRequest, VARDA_ERR_INTERNAL, true, 1},
        {Count::kEMRequest, VARDA_ERR_MASTER_OFFLINE, true, 0},  // tried again by an upload
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(Count::Name(c.function)) + " " + std::to_string(c.code));
        testkit::ScriptedMaster adapter;
        netsvc::ScopedMasterApi scripted{testkit::ScriptedMaster::Functions()};
        {
            Count count;
            count.CountExplicitRequests(c.explicitOn);
            adapter.SetScript([&](const testkit::MasterCall&) -> std::optional<uint32_t> { return c.code; });
            EXPECT_EQ(Call(c.function), c.code);
            EXPECT_EQ(adapter.CallTexts(Count::Name(c.function)).size(), 1u) << "the call went on to the adapter";
            for (int f = 0; f < Count::kFunctionCount; ++f) {
                const auto function = static_cast<Count::Function>(f);
                EXPECT_EQ(count.Failed(function), function == c.function ? c.counted : 0u) << Count::Name(function);
            }
            EXPECT_THROW(Count second, std::logic_error);
        }
        EXPECT_EQ(&netsvc::MasterApi(), &testkit::ScriptedMaster::Functions()) << "the table before is back";
    }
}

}  // namespace
