#include "adapter_emu/firmware.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <iostream>

#include "adapter_emu/packet.h"
#include "cip/service.h"
#include "cip/status.h"
#include "varda_api.h"
#include "platform/byte_order.h"

namespace adapter_emu {

namespace {

constexpr std::size_t kRecordsPerAck = (kMaxAckSize - 8) / kRecordSize;  // 26
constexpr auto kReceiveWait = std::chrono::milliseconds(100);
constexpr uint16_t kAdapterVendorId = 1;  // the adapter's own identity on the bus

void AppendErrorReply(std::vector<uint8_t>& out, cip::GeneralStatus status) {
    const auto reply = cip::ErrorReply(status);
    out.insert(out.end(), reply.begin(), reply.end());
}

std::vector<uint8_t> ErrorReplyBytes(cip::GeneralStatus status) {
    std::vector<uint8_t> out;
    AppendErrorReply(out, status);
    return out;
}

// A device's answer to a duplicate MAC ID check: 0x80, its vendor ID and its serial number.
std::array<uint8_t, 7> DuplicateMacResponse(const SlaveDescription& s) {
    std::array<uint8_t, 7> response{0x80};
    platform::PutU16LE(response, 1, s.vendorId);
    platform::PutU32LE(response, 3, s.serialNumber);
    return response;
}

}  // namespace

ReceivedRecord MakeRecord(uint16_t canId, std::span<const uint8_t> data, uint32_t timeMs, bool lostBefore) {
    ReceivedRecord r{};
    r[0] = static_cast<uint8_t>(kRecordReceived | (lostBefore ? kRecordLostBefore : 0));
    platform::PutU16LE(r, 1, canId);
    const std::size_t n = std::min<std::size_t>(data.size(), 8);
    r[3] = static_cast<uint8_t>(n);
    std::copy_n(data.begin(), n, r.begin() + 4);
    platform::PutU32LE(r, 12, timeMs);
    if ((canId & 0x400) == 0) {  // group 1: 0 iiii mmmmmm
        r[16] = 1;
        r[17] = canId & 0x3F;
        r[18] = (canId >> 6) & 0x0F;
    } else if ((canId & 0x600) == 0x400) {  // group 2: 10 mmmmmm iii
        r[16] = 2;
        r[17] = (canId >> 3) & 0x3F;
        r[18] = canId & 0x07;
    } else if ((canId & 0x7C0) < 0x7C0) {  // group 3: 11 iii mmmmmm
        r[16] = 3;
        r[17] = canId & 0x3F;
        r[18] = (canId >> 6) & 0x07;
    } else {  // group 4: 11111 iiiiii
        r[16] = 4;
        r[17] = 0xFF;
        r[18] = canId & 0x3F;
    }
    return r;
}

Firmware::Firmware(const BusDescription& bus, std::shared_ptr<Clock> clock, FirmwareOptions options)
    : clock_(std::move(clock)), options_(std::move(options)) {
    // A device listed after another at the same MAC ID fails its duplicate MAC ID check when the
    // bus powers up and stays off line: to everybody else it is absent.
    for (const auto& s : bus.slaves) bus_.emplace(s.mac, SimulatedSlave(s));
    if (options_.stateFile) {
        if (auto c = ReadSavedConfig(*options_.stateFile)) saved_ = *c;
    }
    ApplySavedNodes();
    Reset();
    if (options_.sharedBus) {
        scanner_.SetTrace(&emitted_);
        options_.sharedBus->Attach(this);
    }
}

Firmware::~Firmware() {
    if (options_.sharedBus) options_.sharedBus->Detach(this);
}

void Firmware::OnBusFrames(std::span<const BusFrame> frames) {
    std::lock_guard lock(mutex_);
    if (!testMode_ || !(nodeOnline_ || nodeChecking_)) return;
    for (const BusFrame& f : frames) Record(f.canId, f.data, f.atMs);
}

void Firmware::Emit(std::vector<BusFrame> frames) {
    if (options_.sharedBus) emitted_.insert(emitted_.end(), frames.begin(), frames.end());
}

std::vector<BusFrame> Firmware::TakeEmitted() {
    // Only the newest frames matter to a listener that keeps 1024 records.
    constexpr std::size_t kKeep = 2 * kMaxRecordsKept;
    std::vector<BusFrame> out;
    out.swap(emitted_);
    if (out.size() > kKeep) out.erase(out.begin(), out.end() - static_cast<std::ptrdiff_t>(kKeep));
    return out;
}

void Firmware::Reset() {
    scanner_.Uninitialise();
    scanner_.Clear();
    for (const auto& raw : saved_.slaves) {
        ScanListConfig c;
        c.raw = raw;
        scanner_.Add(c);
    }
    opened_ = false;
    testMode_ = false;
    nodeOnline_ = false;
    nodeChecking_ = false;
    masterMacTaken_ = false;
    ++onlineGeneration_;
    records_.clear();
}

void Firmware::Save() {
    SavedConfig c;
    if (scanner_.Settings()) c.init = scanner_.Settings()->Encode();
    for (const auto& [mac, e] : scanner_.Entries()) c.slaves.push_back(e.config.raw);
    c.nodes = saved_.nodes;
    if (options_.stateFile) WriteSavedConfig(*options_.stateFile, c);
    saved_ = std::move(c);
}

void Firmware::ApplySavedNodes() {
    for (const CommissionedNode& n : saved_.nodes) {
        auto it =
            std::find_if(bus_.begin(), bus_.end(), [&](const auto& e) { return e.second.FileMac() == n.fileMac; });
        if (it == bus_.end()) continue;  // the bus file no longer has it
        if (n.baud) it->second.SetBaud(*n.baud);
        if (n.mac == it->first) continue;
        MoveNode(it->first, n.mac, 0);
        // Powered up at that MAC ID: on line from the start.
        if (auto moved = bus_.find(n.mac); moved != bus_.end()) moved->second.KeepOffLineUntil(0);
    }
}

void Firmware::SaveNodes() {
    std::vector<CommissionedNode> nodes;
    auto note = [&](const SimulatedSlave& s) {
        if (s.Mac() != s.FileMac() || s.Baud() != s.Description().baudRate)
            nodes.push_back({s.FileMac(), s.Mac(), s.Baud()});
    };
    for (const auto& [mac, slave] : bus_) note(slave);
    for (const SimulatedSlave& slave : offLine_) note(slave);
    saved_.nodes = std::move(nodes);
    if (!options_.stateFile) return;
    try {
        WriteSavedConfig(*options_.stateFile, saved_);
    } catch (const StateFileError& error) {
        // The device has taken the change; only its memory across a restart is lost.
        std::cerr << "adapter-emu: " << error.what() << std::endl;
    }
}

void Firmware::MoveNode(uint8_t mac, uint8_t newMac, uint64_t now) {
    auto node = bus_.extract(mac);
    if (node.empty()) return;
    node.mapped().MoveTo(newMac);
    if (bus_.count(newMac) != 0) {
        // Another node holds the MAC ID and answers the check: this one stays off line.
        offLine_.push_back(std::move(node.mapped()));
        return;
    }
    node.key() = newMac;
    SimulatedSlave& slave = bus_.insert(std::move(node)).position->second;
    // The master holds it: the node stays off line; else it is there after its two checks.
    if (scanner_.Settings() && scanner_.Settings()->macId == newMac) {
        slave.SetAbsent(true);
    } else {
        slave.KeepOffLineUntil(now + 2ull * options_.duplicateMacTimeoutMs);
    }
}

std::vector<uint8_t> Firmware::BoardInfo() const {
    std::vector<uint8_t> info(72, 0);
    const std::string model = "ADAPTER-EMU DeviceNet Scanner";
    const std::string firmware = "EMU 1.0";
    std::copy(model.begin(), model.end(), info.begin());
    std::copy(firmware.begin(), firmware.end(), info.begin() + 32);
    platform::PutU32LE(info, 48, options_.serialNumber);
    platform::PutU16LE(info, 52, kAdapterVendorId);
    platform::PutU16LE(info, 54, 12);  // device type: communication adapter
    platform::PutU16LE(info, 56, 101);  // product code = device type of the master API
    info[58] = 1;  // revision major
    info[59] = 0;  // revision minor
    info[60] = 1;  // CAN channels
    info[61] = options_.adapterIndex;
    platform::PutU32LE(info, 64, 64);  // scan-list capacity
    platform::PutU32LE(info, 68, 100);  // firmware build
    return info;
}

std::vector<uint8_t> Firmware::Execute(uint8_t code, std::span<const uint8_t> payload, std::stop_token stop,
                                       std::optional<uint32_t> hostWaitMs) {
    std::unique_lock lock(mutex_);
    hostWaitMs_ = hostWaitMs;
    scanner_.Advance(clock_->NowMs());
    Result r = Dispatch(code, payload, lock, stop);
    std::vector<BusFrame> frames;
    if (options_.sharedBus) frames = TakeEmitted();
    lock.unlock();
    if (options_.sharedBus) options_.sharedBus->Publish(this, frames);
    if (r.code != 0) return BuildErrorAck(code, r.code);
    return BuildPacket(code, r.payload);
}

Firmware::Result Firmware::Dispatch(uint8_t code, std::span<const uint8_t> p, std::unique_lock<std::mutex>& lock,
                                    std::stop_token stop) {
    const uint64_t now = clock_->NowMs();
    auto length = [&](std::size_t n) { return p.size() == n; };
    // Commands of the channel carry channel + 1 in their first byte; only channel 0 exists.
    auto channelOk = [&] { return !p.empty() && p[0] == 1; };
    switch (code) {
        case cmd::kDcReset:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            Reset();
            return {};
        case cmd::kOpen:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            opened_ = true;
            return {};
        case cmd::kGetInfo:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            return {0, BoardInfo()};
        case cmd::kClose:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            if (!opened_) return {VARDA_ERR_NOT_OPEN};
            scanner_.Uninitialise();
            opened_ = false;
            return {};
        case cmd::kInit: {
            if (!length(13)) return {VARDA_ERR_INVALID_PARAM};
            if (!opened_) return {VARDA_ERR_NOT_OPEN};
            if (testMode_) return {VARDA_ERR_INIT_FAILED};
            const InitSettings s = InitSettings::Parse(p.first<13>());
            if (s.Invalid()) return {VARDA_ERR_INVALID_PARAM};
            if (scanner_.Settings()) return {VARDA_ERR_CHANNEL_OPEN};
            scanner_.Initialise(s);
            masterMacTaken_ = false;
            return {};
        }
        case cmd::kUninit:
        case cmd::kOnline:
        case cmd::kOffline:
        case cmd::kStartScan:
        case cmd::kStopScan:
            if (!length(1) || !channelOk()) return {VARDA_ERR_INVALID_PARAM};
            if (!scanner_.Settings()) return {VARDA_ERR_CHANNEL_NOT_OPEN};
            if (code == cmd::kOnline) {
                MasterGoOnline(lock, stop);
                return {};
            }
            if (code == cmd::kUninit || code == cmd::kOffline) {
                ++onlineGeneration_;
                masterMacTaken_ = false;
            }
            if (code == cmd::kUninit) scanner_.Uninitialise();
            if (code == cmd::kOffline) scanner_.SetOnline(false, now);
            if (code == cmd::kStartScan) scanner_.SetScanning(true, now);
            if (code == cmd::kStopScan) scanner_.SetScanning(false, now);
            return {};
        case cmd::kAddSlave: {
            if (!length(21)) return {VARDA_ERR_INVALID_PARAM};
            if (!opened_) return {VARDA_ERR_NOT_OPEN};
            ScanListConfig c;
            std::copy(p.begin(), p.end(), c.raw.begin());
            if (c.Mac() > 63 || c.BackgroundPoll() > 1 || (c.Flags() & 0xE0) != 0) return {VARDA_ERR_INVALID_PARAM};
            if (!scanner_.Add(c)) return {VARDA_ERR_SLAVE_EXISTS};
            return {};
        }
        case cmd::kRemoveSlave:
            if (!length(2) || !channelOk() || (p[1] > 63 && p[1] != 0xFF)) return {VARDA_ERR_INVALID_PARAM};
            if (!opened_) return {VARDA_ERR_NOT_OPEN};
            if (p[1] == 0xFF) {
                scanner_.Clear();
                return {};
            }
            if (!scanner_.Remove(p[1])) return {VARDA_ERR_NO_SLAVE};
            return {};
        case cmd::kSaveCfg:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            if (!opened_) return {VARDA_ERR_NOT_OPEN};
            try {
                Save();
            } catch (const StateFileError&) {
                return {VARDA_ERR_INTERNAL};
            }
            return {};
        case cmd::kEMRequest: return ExplicitRequest(p, lock, stop);
        case cmd::kReadSlaveIO: return ReadSlaveIO(p);
        case cmd::kWriteSlaveIO: return WriteSlaveIO(p);
        case cmd::kGetNodeStatus: {
            if (!length(2) || !channelOk() || p[1] > 63) return {VARDA_ERR_INVALID_PARAM};
            if (!scanner_.Settings()) return {VARDA_ERR_CHANNEL_NOT_OPEN};
            const Scanner::Entry* e = scanner_.Find(p[1]);
            if (!e) return {VARDA_ERR_NO_SLAVE};
            if (masterMacTaken_) return {0, {cip::Code(cip::ScannerStatus::DuplicateMacFailed)}};
            return {0, {cip::Code(e->status)}};
        }
        case cmd::kDcDntStartDrv:
            if (!length(128)) return {VARDA_ERR_INVALID_PARAM};
            if (scanner_.Settings()) return {VARDA_ERR_CHANNEL_OPEN};
            if ((p[116] & 0xC0) == 0xC0) return {VARDA_ERR_INVALID_PARAM};
            testMode_ = true;
            nodeOnline_ = false;
            nodeChecking_ = false;
            ++onlineGeneration_;
            nodeMac_ = p[116] & 0x3F;
            nodeBaud_ = static_cast<uint8_t>(p[116] >> 6);
            records_.clear();
            for (auto& [mac, slave] : bus_) slave.BeginSession();
            return {};
        case cmd::kDcDntStopDrv:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            testMode_ = false;
            nodeOnline_ = false;
            nodeChecking_ = false;
            ++onlineGeneration_;
            records_.clear();
            received_.notify_all();
            return {};
        case cmd::kDcDntSetScreen: return {};
        case cmd::kDcDntProduce: return Produce(p, lock);
        case cmd::kDcDntReConfig:
            if (!length(1) || (p[0] & 0xC0) == 0xC0) return {VARDA_ERR_INVALID_PARAM};
            if (!testMode_) return {VARDA_ERR_CHANNEL_NOT_OPEN};
            nodeMac_ = p[0] & 0x3F;
            nodeBaud_ = static_cast<uint8_t>(p[0] >> 6);
            // A node on line leaves the bus and joins it again at its new MAC ID.
            if (nodeOnline_ || nodeChecking_) NodeGoOnline(lock, stop);
            return {};
        case cmd::kDcDntOffline:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            if (!testMode_) return {VARDA_ERR_CHANNEL_NOT_OPEN};
            nodeOnline_ = false;
            nodeChecking_ = false;
            ++onlineGeneration_;
            return {};
        case cmd::kDcDntOnline:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            if (!testMode_) return {VARDA_ERR_CHANNEL_NOT_OPEN};
            if (!nodeOnline_) NodeGoOnline(lock, stop);
            return {};
        case cmd::kDcDntRecv:
            if (!length(0)) return {VARDA_ERR_INVALID_PARAM};
            if (!testMode_) return {VARDA_ERR_CHANNEL_NOT_OPEN};
            return Receive(lock, stop);
        default: return {VARDA_ERR_NOT_IMPLEMENTED};
    }
}

Firmware::Result Firmware::ExplicitRequest(std::span<const uint8_t> p, std::unique_lock<std::mutex>& lock,
                                           std::stop_token stop) {
    if (p.size() < 13) return {VARDA_ERR_INVALID_PARAM};
    const uint16_t n = platform::GetU16LE(p, 11);
    if (p.size() != 13u + n || p[0] != 1 || p[5] > 63) return {VARDA_ERR_INVALID_PARAM};
    if (!scanner_.Settings()) return {VARDA_ERR_CHANNEL_NOT_OPEN};
    if (!scanner_.Online()) return {VARDA_ERR_MASTER_OFFLINE};
    const uint32_t timeoutMs = platform::GetU32LE(p, 1);
    const uint8_t mac = p[5];
    const uint8_t service = p[6];
    const uint16_t classId = platform::GetU16LE(p, 7);
    const uint16_t instance = platform::GetU16LE(p, 9);
    const uint64_t now = clock_->NowMs();
    auto it = bus_.find(mac);
    const bool answers = mac != scanner_.Settings()->macId && it != bus_.end() && it->second.Answers(now) &&
                         it->second.Hears(scanner_.Settings()->baudRate);
    const uint32_t delay = answers ? it->second.ExplicitDelayMs() : 0;
    if (!answers || delay >= timeoutMs) {
        // Nobody answers in time: the request times out, at the latest while the host still waits.
        if (!options_.fast) {
            const uint32_t wait = hostWaitMs_ ? std::min(timeoutMs, *hostWaitMs_) : timeoutMs;
            lock.unlock();
            clock_->SleepFor(wait, stop);
            lock.lock();
        }
        return {VARDA_ERR_TIMEOUT};
    }
    if (delay > 0 && !options_.fast) {
        lock.unlock();
        clock_->SleepFor(delay, stop);
        lock.lock();
        scanner_.Advance(clock_->NowMs());
    }
    SimulatedSlave& slave = bus_.at(mac);
    slave.NoteContact(now);
    const std::optional<uint8_t> baudBefore = slave.Baud();
    CipReply reply = slave.Execute(service, classId, instance, p.subspan(13, n));
    // A new MAC ID is taken at once (after the answer, which still comes from the old one); a
    // new baud rate after a reset, when the node goes on line again.
    if (std::optional<uint8_t> newMac = slave.TakeMacChange()) {
        MoveNode(mac, *newMac, now);
        SaveNodes();
    } else if (slave.Baud() != baudBefore) {
        slave.KeepOffLineUntil(now + 2ull * options_.duplicateMacTimeoutMs);
        SaveNodes();
    }
    std::vector<uint8_t> data = reply.status != cip::GeneralStatus::Success ? ErrorReplyBytes(reply.status)
                                : reply.data.size() + 8 > kMaxAckSize
                                    ? ErrorReplyBytes(cip::GeneralStatus::ReplyDataTooLarge)
                                    : std::move(reply.data);
    if (options_.sharedBus) {
        // On the wire: the request in the 8/8 format (8-bit class and instance) and the answer.
        const uint8_t master = scanner_.Settings()->macId;
        std::vector<uint8_t> request{master, service, static_cast<uint8_t>(classId), static_cast<uint8_t>(instance)};
        const auto body = p.subspan(13, n);
        request.insert(request.end(), body.begin(), body.end());
        Emit(ExplicitFrames(can_id::Group2(mac, can_id::kMasterExplicitRequest), request, now));
        std::vector<uint8_t> response{master};
        if (data.empty() || data[0] != cip::kErrorReplyService)
            response.push_back(static_cast<uint8_t>(service | cip::kReplyBit));
        response.insert(response.end(), data.begin(), data.end());
        Emit(ExplicitFrames(can_id::Group2(mac, can_id::kSlaveExplicitResponse), response, clock_->NowMs()));
    }
    return {0, std::move(data)};
}

Firmware::Result Firmware::ReadSlaveIO(std::span<const uint8_t> p) {
    if (p.size() != 26 || p[0] != 1 || p[1] > 63) return {VARDA_ERR_INVALID_PARAM};
    if (!scanner_.Settings()) return {VARDA_ERR_CHANNEL_NOT_OPEN};
    // Exactly one of the four slots asks for data: its type byte is its own type and its capacity
    // is not 0.
    std::optional<std::size_t> type;
    uint8_t capacity = 0;
    for (std::size_t t = 0; t < 4; ++t) {
        const std::size_t at = 2 + 6 * t;
        if (p[at + 1] == 0) continue;
        if (type || p[at] != t) return {VARDA_ERR_INVALID_PARAM};
        type = t;
        capacity = p[at + 1];
    }
    if (!type) return {VARDA_ERR_INVALID_PARAM};
    Scanner::Entry* e = scanner_.Find(p[1]);
    if (!e) return {VARDA_ERR_NO_SLAVE};
    if (!e->config.Uses(*type) && !e->config.Bare()) return {VARDA_ERR_NO_CONNECTION};
    const auto& in = e->inputs[*type];
    return {0, std::vector<uint8_t>(in.begin(), in.begin() + std::min<std::size_t>(in.size(), capacity))};
}

Firmware::Result Firmware::WriteSlaveIO(std::span<const uint8_t> p) {
    if (p.size() < 28 || p[0] != 1 || p[3] > 63 || p[4] > 3) return {VARDA_ERR_INVALID_PARAM};
    const std::size_t type = p[4];
    const std::size_t n = p[5];
    if (p.size() != 28 + n || n == 0 || platform::GetU32LE(p, 6) != 35) return {VARDA_ERR_INVALID_PARAM};
    if (!scanner_.Settings()) return {VARDA_ERR_CHANNEL_NOT_OPEN};
    Scanner::Entry* e = scanner_.Find(p[3]);
    if (!e) return {VARDA_ERR_NO_SLAVE};
    if (!e->config.Uses(type)) return {VARDA_ERR_NO_CONNECTION};
    auto& out = type == 0 ? e->strobeOutputs : e->sharedOutputs;
    if (n > out.size()) return {VARDA_ERR_INVALID_PARAM};
    std::copy_n(p.begin() + 28, n, out.begin());
    return {};
}

void Firmware::Record(uint16_t canId, std::span<const uint8_t> data, uint64_t atMs) {
    records_.push_back(MakeRecord(canId, data, static_cast<uint32_t>(atMs), false));
    if (records_.size() > kMaxRecordsKept) {
        // The oldest record goes; the one after it is now the first after the gap and says so.
        // Further losses move the mark along, so one gap carries exactly one mark.
        records_.pop_front();
        records_.front()[0] |= kRecordLostBefore;
    }
    received_.notify_all();
}

std::array<uint8_t, 7> Firmware::OwnDuplicateMacMessage(bool response) const {
    // Request or response bit and physical port 0, the adapter's vendor ID and serial number.
    std::array<uint8_t, 7> m{static_cast<uint8_t>(response ? 0x80 : 0x00)};
    platform::PutU16LE(m, 1, kAdapterVendorId);
    platform::PutU32LE(m, 3, options_.serialNumber);
    return m;
}

template <class StillWanted>
bool Firmware::PassDuplicateMacCheck(uint8_t mac, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                                     StillWanted stillWanted) {
    const uint16_t id = can_id::Group2(mac, can_id::kDuplicateMacCheck);
    const std::array<uint8_t, 7> request = OwnDuplicateMacMessage(false);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const uint64_t now = clock_->NowMs();
        Emit({BusFrame{id, {request.begin(), request.end()}, now}});
        // A simulated device at that MAC ID answers at once.
        auto it = bus_.find(mac);
        if (it != bus_.end() && it->second.Answers(now)) {
            it->second.NoteContact(now);
            const auto answer = DuplicateMacResponse(it->second.Description());
            Emit({BusFrame{id, {answer.begin(), answer.end()}, now}});
            if (nodeChecking_) Record(id, answer, now);
            return false;
        }
        // Another adapter on the same bus that is on line at that MAC ID answers through the hub
        // (its answer reaches this node's records by way of OnBusFrames).
        bool taken = false;
        if (options_.sharedBus) {
            std::vector<BusFrame> frames = TakeEmitted();
            lock.unlock();
            options_.sharedBus->Publish(this, frames);
            taken = options_.sharedBus->AskDuplicateMac(this, mac, now).has_value();
            lock.lock();
        }
        if (taken) return false;
        lock.unlock();
        const bool waited = clock_->SleepFor(options_.duplicateMacTimeoutMs, stop);
        lock.lock();
        if (!waited || !stillWanted()) return false;
    }
    return true;
}

void Firmware::MasterGoOnline(std::unique_lock<std::mutex>& lock, std::stop_token stop) {
    if (scanner_.Online()) return;
    const uint64_t generation = ++onlineGeneration_;
    masterMacTaken_ = false;
    const uint8_t mac = scanner_.Settings()->macId;
    auto stillWanted = [&] { return onlineGeneration_ == generation && scanner_.Settings().has_value(); };
    const bool passed = PassDuplicateMacCheck(mac, lock, stop, stillWanted);
    if (!stillWanted()) return;
    // A master whose MAC ID is taken stays off line; its scan list shows why.
    if (!passed) {
        masterMacTaken_ = !stop.stop_requested();
        return;
    }
    scanner_.SetOnline(true, clock_->NowMs());
}

void Firmware::NodeGoOnline(std::unique_lock<std::mutex>& lock, std::stop_token stop) {
    nodeOnline_ = false;
    nodeChecking_ = true;
    const uint64_t generation = ++onlineGeneration_;
    auto stillWanted = [&] { return onlineGeneration_ == generation && testMode_; };
    const bool passed = PassDuplicateMacCheck(nodeMac_, lock, stop, stillWanted);
    if (!stillWanted()) return;
    nodeChecking_ = false;
    nodeOnline_ = passed;
}

std::optional<std::array<uint8_t, 7>> Firmware::AnswerDuplicateMac(uint8_t mac) {
    std::lock_guard lock(mutex_);
    const bool node = testMode_ && nodeOnline_ && nodeMac_ == mac;
    const bool master = scanner_.Settings() && scanner_.Online() && scanner_.Settings()->macId == mac;
    if (!node && !master) return std::nullopt;
    return OwnDuplicateMacMessage(true);
}

Firmware::Result Firmware::Produce(std::span<const uint8_t> p, std::unique_lock<std::mutex>& lock) {
    if (p.size() < 8) return {VARDA_ERR_INVALID_PARAM};
    const uint32_t n = platform::GetU32LE(p, 0);
    const uint32_t value = platform::GetU32LE(p, 4);
    if (p.size() != 8u + n || n > 8 || value > 0x7FF) return {VARDA_ERR_INVALID_PARAM};
    if (!testMode_) return {VARDA_ERR_CHANNEL_NOT_OPEN};
    if (!nodeOnline_) return {VARDA_ERR_MASTER_OFFLINE};
    const uint16_t id = static_cast<uint16_t>(value);
    const auto data = p.subspan(8, n);
    Emit({BusFrame{id, std::vector<uint8_t>(data.begin(), data.end()), clock_->NowMs()}});
    if ((id & 0x600) != 0x400) return {};  // only group 2 messages reach the simulated slaves
    const uint8_t mac = (id >> 3) & 0x3F;
    const uint8_t messageId = id & 7;
    const uint64_t now = clock_->NowMs();
    auto it = bus_.find(mac);
    if (messageId == 7 && (it == bus_.end() || !it->second.Answers(now))) {
        // No simulated device there: an adapter on line at that MAC ID may answer.
        if (options_.sharedBus && (data.empty() || (data[0] & 0x80) == 0)) {
            std::vector<BusFrame> frames = TakeEmitted();
            lock.unlock();
            options_.sharedBus->Publish(this, frames);
            (void)options_.sharedBus->AskDuplicateMac(this, mac, now);
            lock.lock();
        }
        return {};
    }
    if (it == bus_.end() || !it->second.Answers(now)) return {};
    SimulatedSlave& slave = it->second;
    if (messageId == 7) {  // duplicate MAC ID check
        slave.NoteContact(now);
        const auto answer = DuplicateMacResponse(slave.Description());
        Record(id, answer, now);
        Emit({BusFrame{id, std::vector<uint8_t>(answer.begin(), answer.end()), now}});
        return {};
    }
    if (messageId != 4 && messageId != 6) return {};
    if (data.size() < 2 || (data[0] & 0x80) != 0) return {};  // fragmented requests are not answered
    slave.NoteContact(now);
    const uint16_t responseId = static_cast<uint16_t>(0x400 | (mac << 3) | 3);
    const uint8_t header = data[0] & 0x7F;
    const uint8_t service = data[1] & 0x7F;
    std::vector<uint8_t> response{header};
    if (data.size() < 4) {
        AppendErrorReply(response, cip::GeneralStatus::NotEnoughData);
    } else {
        CipReply r = slave.Execute(service, data[2], data[3], data.subspan(4));
        if (r.status != cip::GeneralStatus::Success) {
            AppendErrorReply(response, r.status);
        } else if (r.data.size() > 6) {
            AppendErrorReply(response, cip::GeneralStatus::ReplyDataTooLarge);
        } else {
            response.push_back(static_cast<uint8_t>(service | cip::kReplyBit));
            response.insert(response.end(), r.data.begin(), r.data.end());
        }
    }
    Record(responseId, response, now + slave.ExplicitDelayMs());
    Emit({BusFrame{responseId, response, now + slave.ExplicitDelayMs()}});
    return {};
}

Firmware::Result Firmware::Receive(std::unique_lock<std::mutex>& lock, std::stop_token stop) {
    if (records_.empty()) {
        received_.wait_for(lock, stop, kReceiveWait, [&] { return !records_.empty() || !testMode_; });
    }
    Result r;
    const std::size_t n = std::min(records_.size(), kRecordsPerAck);
    for (std::size_t i = 0; i < n; ++i) {
        r.payload.insert(r.payload.end(), records_.front().begin(), records_.front().end());
        records_.pop_front();
    }
    return r;
}

template <class Change>
bool Firmware::ChangeSlave(uint8_t mac, Change change) {
    std::lock_guard lock(mutex_);
    const uint64_t now = clock_->NowMs();
    scanner_.Advance(now);
    auto it = bus_.find(mac);
    if (it == bus_.end()) return false;
    change(it->second, now);
    return true;
}

bool Firmware::StopSlave(uint8_t mac) {
    return ChangeSlave(mac, [](SimulatedSlave& slave, uint64_t now) { slave.StopCommunicating(now); });
}

bool Firmware::ResumeSlave(uint8_t mac) {
    return ChangeSlave(mac, [](SimulatedSlave& slave, uint64_t) { slave.Resume(); });
}

bool Firmware::SetSlaveAbsent(uint8_t mac, bool absent) {
    std::unique_lock lock(mutex_);
    scanner_.Advance(clock_->NowMs());
    auto it = bus_.find(mac);
    if (it == bus_.end()) return false;
    if (absent || !it->second.Absent()) {
        it->second.SetAbsent(absent);
        return true;
    }
    // Plugged in: the device goes on line as every node does. While it checks it is not there;
    // when the master or a test node of this adapter, or another adapter on the bus, holds its
    // MAC ID, it stays away.
    const std::array<uint8_t, 7> request = [&] {
        std::array<uint8_t, 7> r{0x00};
        platform::PutU16LE(r, 1, it->second.Description().vendorId);
        platform::PutU32LE(r, 3, it->second.Description().serialNumber);
        return r;
    }();
    const uint16_t id = can_id::Group2(mac, can_id::kDuplicateMacCheck);
    bool taken = false;
    for (int attempt = 0; attempt < 2 && !taken; ++attempt) {
        const uint64_t now = clock_->NowMs();
        Emit({BusFrame{id, {request.begin(), request.end()}, now}});
        if (testMode_ && (nodeOnline_ || nodeChecking_)) Record(id, request, now);
        const bool master = scanner_.Settings() && scanner_.Online() && scanner_.Settings()->macId == mac;
        const bool node = testMode_ && nodeOnline_ && nodeMac_ == mac;
        if (master || node) {
            const auto answer = OwnDuplicateMacMessage(true);
            Emit({BusFrame{id, {answer.begin(), answer.end()}, now}});
            taken = true;
        }
        std::vector<BusFrame> frames = TakeEmitted();
        lock.unlock();
        if (options_.sharedBus) {
            options_.sharedBus->Publish(this, frames);
            taken = taken || options_.sharedBus->AskDuplicateMac(this, mac, now).has_value();
        }
        if (!taken) clock_->SleepFor(options_.duplicateMacTimeoutMs, {});
        lock.lock();
    }
    it = bus_.find(mac);
    if (!taken && it != bus_.end()) it->second.SetAbsent(false);
    return true;
}

bool Firmware::SetSlaveIdle(uint8_t mac, bool idle) {
    return ChangeSlave(mac, [idle](SimulatedSlave& slave, uint64_t) { slave.SetIdle(idle); });
}

bool Firmware::SetSlaveDelay(uint8_t mac, uint32_t ms) {
    return ChangeSlave(mac, [ms](SimulatedSlave& slave, uint64_t) { slave.SetExplicitDelayMs(ms); });
}

std::optional<uint8_t> Firmware::SlaveStatus(uint8_t mac) {
    std::lock_guard lock(mutex_);
    scanner_.Advance(clock_->NowMs());
    const Scanner::Entry* e = scanner_.Find(mac);
    if (!e) return std::nullopt;
    if (masterMacTaken_) return cip::Code(cip::ScannerStatus::DuplicateMacFailed);
    return cip::Code(e->status);
}

}  // namespace adapter_emu
