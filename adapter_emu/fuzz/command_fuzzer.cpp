// Any sequence of command codes and payloads: the firmware answers each with a well-formed
// acknowledge of that code and never reads outside what it was given.
#include <cstdlib>
#include <memory>
#include <span>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/firmware.h"
#include "adapter_emu/packet.h"

namespace {

const char* kBus = R"(<bus>
  <slave mac="1"><identity vendor-id="1" device-type="7" product-code="1" product-name="A"/>
    <poll input="4" output="2" inputs="counter"/><strobe input="1"/></slave>
  <slave mac="2"><identity vendor-id="1" device-type="2" product-code="2" product-name="B"/>
    <cos input="2" output="2" inputs="loopback"/>
    <parameter number="1" type="UINT" value="5" min="1" max="9"><choice value="5"/><choice value="7"/></parameter>
    <parameter number="2" type="REAL" value="1.5"/>
    <attribute class="0x64" instance="1" id="1" type="SHORT_STRING" value="abc" settable="true"/>
    <attribute class="0x64" instance="1" id="2" type="STRING" value="abc" settable="true"/>
    <fault type="silent" after="1"/></slave>
  <slave mac="3"><identity vendor-id="1" device-type="0" product-code="3" product-name="C"/><fault type="slow" delay="5"/></slave>
</bus>)";

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const adapter_emu::BusDescription bus = adapter_emu::ParseBusText(kBus, "fuzz");
    auto clock = std::make_shared<adapter_emu::ManualClock>();
    adapter_emu::FirmwareOptions options;
    options.fast = true;
    adapter_emu::Firmware firmware(bus, clock, options);
    std::size_t i = 0;
    while (i + 2 <= size) {
        const uint8_t code = data[i];
        std::size_t n = data[i + 1];
        i += 2;
        if (n > size - i) n = size - i;
        if (code == 0xFF) {  // time passes
            clock->Advance(n * 7);
            continue;
        }
        if (code == adapter_emu::cmd::kDcDntRecv) continue;  // waits for records in real time
        // Copied so that the sanitizer sees every read beyond the payload.
        std::unique_ptr<uint8_t[]> payload(new uint8_t[n]);
        std::copy(data + i, data + i + n, payload.get());
        i += n;
        const auto ack = firmware.Execute(code, std::span<const uint8_t>(payload.get(), n));
        Check(ack.size() >= 8 && ack.size() <= adapter_emu::kMaxAckSize && ack[0] == adapter_emu::kStartByte &&
              ack[1] == code);
        uint8_t check = 0;
        for (std::size_t k = 0; k + 1 < ack.size(); ++k) check ^= ack[k];
        Check(check == ack.back());
    }
    return 0;
}
