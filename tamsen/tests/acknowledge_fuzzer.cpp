// Feeds arbitrary acknowledges (first read and extension read) to the master-API calls that
// take data from them, through the fake driver. Input: byte 0 picks the call, byte 1 the length
// of the first acknowledge (at most 64 bytes), the rest is the first and the extension reply.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "device_table.h"
#include "fake_driver/fake_driver.h"
#include "varda_api.h"

namespace {

using tamsen::driver::FakeDriver;

struct Adapter {
    std::shared_ptr<FakeDriver> fake = std::make_shared<FakeDriver>();
    uint32_t handle = 0;
    Adapter() {
        ::setenv("VARDA_DEBUG_OUTPUT", "/dev/null", 1);
        fake->AddDevice("fuzz/dev0");
        tamsen::driver::SetDriverOverride(fake);
        VARDA_INIT_PARAM p{};
        p.ScanDelay = 10;
        p.IntervalScanCycle = 1;
        p.ExpectedPacketRate = 75;
        p.RetryCount = 1;
        if (VARDA_Open(101, 0, 0) != 0 || VARDA_Init(101, 0, 0, &p, &handle) != 0) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Adapter adapter;
    if (size < 2) return 0;
    const uint8_t which = data[0] % 4;
    const std::size_t firstLength = std::min<std::size_t>({data[1], 64, size - 2});
    std::vector<uint8_t> first(data + 2, data + 2 + firstLength);
    std::vector<uint8_t> extension(data + 2 + firstLength, data + size);
    const bool explicitGroup = which == 1;
    adapter.fake->QueueReply("fuzz/dev0", explicitGroup ? 6 : 0, FakeDriver::Reply::Data(first));
    adapter.fake->QueueReply("fuzz/dev0", explicitGroup ? 8 : 2, FakeDriver::Reply::Data(extension));

    uint8_t buffer[255];
    uint32_t length = sizeof buffer;
    switch (which) {
        case 0: (void)VARDA_ReadSlaveIO(adapter.handle, 1, 1, buffer, &length, 0); break;
        case 1: {
            const uint8_t request[2] = {1, 2};
            std::vector<uint8_t> response(600);
            length = static_cast<uint32_t>(response.size());
            (void)VARDA_EMRequest(adapter.handle, 1, 0x0E, 1, 1, request, 2, response.data(), &length, 1000);
            break;
        }
        case 2: (void)VARDA_GetSlaveStatus(adapter.handle, 1); break;
        default: {
            VARDA_BOARD_INFO info;
            (void)VARDA_ReadBoardInfo(101, 0, &info);
            break;
        }
    }
    if (length > sizeof buffer && which == 0) std::abort();
    // Replies that the exchange did not consume are dropped for the next input.
    adapter.fake->ClearReplies("fuzz/dev0");
    adapter.fake->ClearTransfers();
    return 0;
}
