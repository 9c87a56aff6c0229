#include "network/slave_setup.h"

#include <map>
#include <memory>

#include "services/core_services.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"

namespace {

bool AddressFree(const CServerDev& master, uint32_t mac) {
    return mac <= 63 && static_cast<int>(mac) != master.GetAddress() &&
           master.FindSlave(static_cast<int>(mac)) == nullptr;
}

std::string ServicesEdsPath(const std::string& name) { return netsvc::EdsPath(name); }

}  // namespace

CSlaveDev* AddSlavesFromDialog(CServerDev* master, bool batch, uint32_t start, uint32_t end,
                               const SlaveConfigBlock& block, const SlaveEds& eds) {
    if (master == nullptr) return nullptr;
    SlaveConfigBlock withGroups = block;
    withGroups.BuildDefaultGroups();
    auto first = std::make_unique<CSlaveDev>(withGroups, eds);
    CSlaveDev* result = first.get();
    master->AddChild(std::move(first));
    if (batch) {
        for (uint32_t mac = start + 1; mac <= end && mac <= 63; ++mac) {
            if (!AddressFree(*master, mac)) continue;
            auto copy = std::make_unique<CSlaveDev>(*result);
            copy->SetAddress(static_cast<int>(mac));
            master->AddChild(std::move(copy));
        }
    }
    return result;
}

void CSlaveDev::ConfigureFromEds() {
    const CEDSFile& eds = eds_->description;
    SlaveConfigBlock& block = config_;
    block.use.Reset();
    block.use[ConnectionUse::kFromEds] = 1;
    block.use[ConnectionUse::kAckTimeout] = 1;
    block.name = eds.Title();

    VARDA_SLAVE_CONFIG r{};
    r.MacId = block.record.MacId();
    r.HeartbeatTime = 250;
    r.AckTimeout = 16;
    r.ProductionInhibitTime = 1;
    r.BackgroundPoll = 1;
    r.VendorId = static_cast<uint32_t>(eds.Device().VendCode());
    r.ProductType = static_cast<uint32_t>(eds.Device().ProdType());
    r.ProductCode = static_cast<uint32_t>(eds.Device().ProdCode());

    using IO = DeviceNetEDS::CIO_InfoInfo;
    const IO& io = eds.IOInfo();
    auto size = [](int32_t bytes) { return static_cast<uint8_t>(bytes < 0 ? 0 : bytes > 255 ? 255 : bytes); };
    auto use = [&](IO::Connection which, std::size_t enabled, std::size_t input, std::size_t output, uint8_t& inSize,
                   uint8_t& outSize) {
        const DeviceNetEDS::ConnectionInfo& info = io.GetConnection(which);
        if (info.valid == 0) return false;
        block.use[enabled] = 1;
        block.use[input] = static_cast<uint8_t>(info.defaultInput);
        block.use[output] = static_cast<uint8_t>(info.defaultOutput);
        inSize = size(io.GetInput(info.defaultInput).size);
        outSize = size(io.GetOutput(info.defaultOutput).size);
        return true;
    };
    use(IO::kPoll, ConnectionUse::kPoll, ConnectionUse::kPollInput, ConnectionUse::kPollOutput, r.PollInputSize,
        r.PollOutputSize);
    use(IO::kStrobe, ConnectionUse::kStrobe, ConnectionUse::kStrobeInput, ConnectionUse::kStrobeOutput,
        r.StrobeInputSize, r.StrobeOutputSize);
    if (!use(IO::kCOS, ConnectionUse::kCos, ConnectionUse::kCosInput, ConnectionUse::kCosOutput, r.CosInputSize,
             r.CosOutputSize)) {
        use(IO::kCyclic, ConnectionUse::kCyclic, ConnectionUse::kCyclicInput, ConnectionUse::kCyclicOutput,
            r.CosInputSize, r.CosOutputSize);
    }
    r.ConnectionFlags = DeriveConnectionFlags(block.use);
    block.record.SetRecord(r);
    panelRebuild_ = 1;
}

CSlaveDev* AddSearchedSlaves(CServerDev* master, const std::vector<SearchedSlave>& results, EdsPathResolver resolve) {
    if (master == nullptr) return nullptr;
    if (resolve == nullptr) resolve = ServicesEdsPath;
    std::map<std::string, CSlaveDev*> byPath;
    CSlaveDev* last = nullptr;
    for (const SearchedSlave& result : results) {
        std::string path = resolve(result.edsName);
        std::unique_ptr<CSlaveDev> slave;
        auto known = byPath.find(path);
        if (known != byPath.end()) {
            slave = std::make_unique<CSlaveDev>(*known->second);
            slave->SetAddress(static_cast<int>(result.macId));
        } else {
            SlaveEds eds;
            LoadSlaveEds(eds, path);
            slave = std::make_unique<CSlaveDev>(SlaveConfigBlock::Fresh(result.macId), eds);
            slave->ConfigureFromEds();
            SlaveConfigBlock block = slave->Config();
            block.BuildDefaultGroups();
            slave->MutableConfig() = std::move(block);
            slave->RebuildDataTable();
            byPath.emplace(path, slave.get());
        }
        last = slave.get();
        master->AddChild(std::move(slave));
    }
    return last;
}
