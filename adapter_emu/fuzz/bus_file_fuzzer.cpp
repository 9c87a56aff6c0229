// Any bus file text is either read or refused with a one-line error; what is read builds slaves
// that answer explicit requests.
#include <cstdlib>
#include <string_view>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/simulated_slave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    adapter_emu::BusDescription bus;
    try {
        bus = adapter_emu::ParseBusText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xml");
    } catch (const adapter_emu::BusFileError& e) {
        if (std::string_view(e.what()).find('\n') != std::string_view::npos &&
            std::string_view(reinterpret_cast<const char*>(data), size).find('\n') == std::string_view::npos) {
            std::abort();
        }
        return 0;
    }
    for (const auto& description : bus.slaves) {
        adapter_emu::SimulatedSlave slave(description);
        const uint8_t one[1] = {1};
        (void)slave.Execute(0x01, 1, 1, {});
        (void)slave.Execute(0x0E, 0x0F, 1, one);
        for (std::size_t t = 0; t < 4; ++t) (void)slave.ProduceInputs(t);
    }
    return 0;
}
