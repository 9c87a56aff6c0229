#include "adapter_emu/scanner.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace adapter_emu {

InitSettings InitSettings::Parse(std::span<const uint8_t, 13> p) {
    InitSettings s;
    s.macId = p[0];
    s.baudRate = p[1];
    s.intervalScanCycle = p[2];
    s.scanDelay = platform::GetU16LE(p, 4);
    s.expectedPacketRate = platform::GetU16LE(p, 6);
    s.retryCount = p[8];
    s.option1 = p[9];
    s.option2 = p[10];
    s.autoMapSize = p[11];
    s.channel = p[12];
    return s;
}

std::array<uint8_t, 13> InitSettings::Encode() const {
    std::array<uint8_t, 13> p{};
    p[0] = macId;
    p[1] = baudRate;
    p[2] = intervalScanCycle;
    platform::PutU16LE(p, 4, scanDelay);
    platform::PutU16LE(p, 6, expectedPacketRate);
    p[8] = retryCount;
    p[9] = option1;
    p[10] = option2;
    p[11] = autoMapSize;
    p[12] = channel;
    return p;
}

const char* InitSettings::Invalid() const {
    if (macId > 63) return "MacId";
    if (baudRate > 2) return "BaudRate";
    if (scanDelay == 0) return "ScanDelay";
    if (expectedPacketRate == 0) return "ExpectedPacketRate";
    if (retryCount < 1 || retryCount > 10) return "RetryCount";
    if (option1 > 1) return "Option1";
    if (option2 > 1) return "Option2";
    if (autoMapSize > 32) return "AutoMapSize";
    if (channel != 0) return "channel";
    return nullptr;
}

bool ScanListConfig::Uses(std::size_t type) const {
    const uint8_t io = Flags() & 0x03;
    switch (type) {
        case 0: return io == 0 || io == 2;
        case 1: return io == 1 || io == 2;
        case 2: return (Flags() & 0x04) != 0;
        case 3: return (Flags() & 0x08) != 0;
        default: return false;
    }
}

uint8_t ScanListConfig::InputSize(std::size_t type) const {
    switch (type) {
        case 0: return raw[9];
        case 1: return raw[11];
        default: return raw[12];
    }
}

uint8_t ScanListConfig::OutputSize(std::size_t type) const {
    switch (type) {
        case 0: return raw[10];
        case 1: return raw[13];
        default: return raw[14];
    }
}

bool ScanListConfig::Bare() const {
    // Identity, connection flags and sizes all zero; the timing fields do not matter.
    return std::all_of(raw.begin() + 1, raw.begin() + 15, [](uint8_t b) { return b == 0; });
}

void Scanner::Initialise(const InitSettings& s) {
    settings_ = s;
    online_ = false;
    scanning_ = false;
    for (auto& [mac, slave] : bus_) slave.BeginSession();
    for (auto& [mac, e] : entries_) {
        e.status = cip::ScannerStatus::NotInitialised;
        e.scanned = false;
        e.exchanged = false;
    }
}

void Scanner::Uninitialise() {
    Halt();
    settings_.reset();
    online_ = false;
    scanning_ = false;
    for (auto& [mac, e] : entries_) {
        e.status = cip::ScannerStatus::NotInitialised;
        e.scanned = false;
    }
}

void Scanner::Halt() {
    for (auto& [mac, e] : entries_) {
        if (e.scanned) e.status = cip::ScannerStatus::ScannerStopped;
    }
}

void Scanner::SetOnline(bool online, uint64_t nowMs) {
    const bool was = Effective();
    online_ = online;
    if (!was && Effective()) nextCycleMs_ = nowMs + settings_->scanDelay;
    if (was && !Effective()) Halt();
}

void Scanner::SetScanning(bool scanning, uint64_t nowMs) {
    const bool was = Effective();
    scanning_ = scanning;
    if (scanning) {
        // Connections are set up again: every entry waits for its first scan.
        for (auto& [mac, e] : entries_) {
            if (!was) {
                e.status = cip::ScannerStatus::NotInitialised;
                e.scanned = false;
                e.exchanged = false;
            }
        }
    }
    if (!was && Effective()) nextCycleMs_ = nowMs + settings_->scanDelay;
    if (was && !Effective()) Halt();
}

bool Scanner::Add(const ScanListConfig& c) {
    Entry e;
    e.config = c;
    for (std::size_t t = 0; t < 4; ++t) e.inputs[t].assign(c.Uses(t) ? c.InputSize(t) : 0, 0);
    std::size_t shared = 0;
    for (std::size_t t = 1; t < 4; ++t) {
        if (c.Uses(t)) shared = std::max<std::size_t>(shared, c.OutputSize(t));
    }
    e.sharedOutputs.assign(shared, 0);
    e.strobeOutputs.assign(c.Uses(0) ? c.OutputSize(0) : 0, 0);
    return entries_.emplace(c.Mac(), std::move(e)).second;
}

bool Scanner::Remove(uint8_t mac) { return entries_.erase(mac) == 1; }

void Scanner::Clear() { entries_.clear(); }

Scanner::Entry* Scanner::Find(uint8_t mac) {
    auto it = entries_.find(mac);
    return it == entries_.end() ? nullptr : &it->second;
}

void Scanner::Advance(uint64_t nowMs) {
    if (!Effective()) return;
    const uint64_t delay = settings_->scanDelay;
    if (nextCycleMs_ > nowMs) return;
    // Long jumps of simulated time only run the last cycles; the states they end in are the same.
    constexpr uint64_t kMaxCycles = 20000;
    const uint64_t due = (nowMs - nextCycleMs_) / delay + 1;
    if (due > kMaxCycles) {
        const uint64_t skip = due - kMaxCycles;
        nextCycleMs_ += skip * delay;
        cycleIndex_ += skip;
    }
    while (nextCycleMs_ <= nowMs) {
        RunCycle(nextCycleMs_);
        nextCycleMs_ += delay;
        ++cycleIndex_;
    }
}

void Scanner::TraceExchange(uint8_t mac, Entry& e, SimulatedSlave& slave, uint64_t atMs, bool firstContact,
                            std::vector<BusFrame>& strobeResponses, std::array<uint8_t, 8>& strobeBits) {
    using namespace can_id;
    const ScanListConfig& c = e.config;
    const uint8_t master = settings_->macId;
    auto add = [&](std::vector<BusFrame> frames) { trace_->insert(trace_->end(), frames.begin(), frames.end()); };
    if (firstContact) {
        // Allocate_Master/Slave_Connection_Set through the group-2-only port, and its answer.
        uint8_t allocation = 0x01;
        if (c.Uses(1)) allocation |= 0x02;
        if (c.Uses(0)) allocation |= 0x04;
        if (c.Uses(2)) allocation |= 0x10;
        if (c.Uses(3)) allocation |= 0x20;
        const uint8_t request[6] = {master, 0x4B, 0x03, 0x01, allocation, master};
        add(ExplicitFrames(Group2(mac, kUnconnectedRequest), request, atMs));
        const uint8_t response[3] = {master, 0xCB, 0x00};
        add(ExplicitFrames(Group2(mac, kSlaveExplicitResponse), response, atMs));
    }
    if (c.Bare()) return;
    if (c.Uses(1)) {
        const std::size_t n = std::min<std::size_t>(c.OutputSize(1), e.sharedOutputs.size());
        add(IoFrames(Group2(mac, kMasterPoll), std::span<const uint8_t>(e.sharedOutputs.data(), n), atMs));
        add(IoFrames(Group1(kSlavePollResponse, mac), e.inputs[1], atMs));
    }
    if (c.Uses(0)) {
        if (!e.strobeOutputs.empty() && (e.strobeOutputs[0] & 1) != 0)
            strobeBits[mac / 8] |= static_cast<uint8_t>(1u << (mac % 8));
        auto frames = IoFrames(Group1(kSlaveStrobeResponse, mac), e.inputs[0], atMs);
        strobeResponses.insert(strobeResponses.end(), frames.begin(), frames.end());
    }
    for (std::size_t t : {std::size_t{2}, std::size_t{3}}) {
        if (!c.Uses(t)) continue;
        add(IoFrames(Group1(kSlaveCosCyclic, mac), e.inputs[t], atMs));
        add(IoFrames(Group2(mac, kMasterCosAck), {}, atMs));
        const std::size_t n = std::min<std::size_t>(c.OutputSize(t), e.sharedOutputs.size());
        if (n > 0) {
            add(IoFrames(Group2(mac, kMasterPoll), std::span<const uint8_t>(e.sharedOutputs.data(), n), atMs));
            add(IoFrames(Group1(kSlavePollResponse, mac), {}, atMs));
        }
    }
    (void)slave;
}

void Scanner::RunCycle(uint64_t atMs) {
    const uint8_t interval = settings_->intervalScanCycle == 0 ? 1 : settings_->intervalScanCycle;
    std::vector<BusFrame> strobeResponses;
    std::array<uint8_t, 8> strobeBits{};
    bool strobed = false;
    for (auto& [mac, e] : entries_) {
        const ScanListConfig& c = e.config;
        if (c.BackgroundPoll() && e.scanned && cycleIndex_ % interval != 0) continue;
        e.scanned = true;
        auto it = bus_.find(mac);
        if (mac == settings_->macId || it == bus_.end() || !it->second.Answers(atMs) ||
            !it->second.Hears(settings_->baudRate)) {
            e.status = e.exchanged ? cip::ScannerStatus::StoppedCommunicating : cip::ScannerStatus::NoAnswer;
            continue;
        }
        SimulatedSlave& slave = it->second;
        slave.NoteContact(atMs);
        const SlaveDescription& s = slave.Description();
        if (!c.Bare()) {
            if ((c.VendorId() != 0 && c.VendorId() != s.vendorId) ||
                (c.ProductType() != 0 && c.ProductType() != s.deviceType) ||
                (c.ProductCode() != 0 && c.ProductCode() != s.productCode)) {
                e.status = cip::ScannerStatus::WrongDeviceType;
                continue;
            }
            bool sizesMatch = true;
            for (std::size_t t = 0; t < 4; ++t) {
                if (!c.Uses(t)) continue;
                const ConnectionSpec& sc = s.connections[t];
                // The bit-strobe output is the master's 8-byte strobe command, whatever the slave.
                if (!sc.used || sc.inputSize != c.InputSize(t) || (t != 0 && sc.outputSize != c.OutputSize(t))) {
                    sizesMatch = false;
                }
            }
            if (!sizesMatch) {
                e.status = cip::ScannerStatus::LengthMismatch;
                continue;
            }
        }
        uint8_t allocation = 0x01;
        if (c.Uses(1)) allocation |= 0x02;
        if (c.Uses(0)) allocation |= 0x04;
        if (c.Uses(2)) allocation |= 0x10;
        if (c.Uses(3)) allocation |= 0x20;
        if (c.Flags() & 0x10) allocation |= 0x40;
        slave.SetNetworkContext(settings_->baudRate, allocation, settings_->macId);
        if (slave.Idle()) {
            e.status = cip::ScannerStatus::Idle;
            continue;
        }
        e.status = cip::ScannerStatus::Online;
        const bool firstContact = !e.exchanged;
        e.exchanged = true;
        if (!c.Bare()) {
            for (std::size_t t = 0; t < 4; ++t) {
                if (!c.Uses(t)) continue;
                slave.ConsumeOutputs(t, t == 0 ? e.strobeOutputs : e.sharedOutputs);
                e.inputs[t] = slave.ProduceInputs(t);
            }
            strobed = strobed || c.Uses(0);
        }
        if (trace_ != nullptr) TraceExchange(mac, e, slave, atMs, firstContact, strobeResponses, strobeBits);
    }
    if (trace_ != nullptr && strobed) {
        // One bit-strobe command of the master for all strobed slaves, then their responses.
        trace_->push_back(BusFrame{can_id::Group2(settings_->macId, can_id::kMasterStrobe),
                                   std::vector<uint8_t>(strobeBits.begin(), strobeBits.end()), atMs});
        trace_->insert(trace_->end(), strobeResponses.begin(), strobeResponses.end());
    }
}

}  // namespace adapter_emu
