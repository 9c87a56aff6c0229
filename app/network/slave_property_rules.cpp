#include "network/slave_property_rules.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "network/dialog_numbers.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_setup.h"
#include "resources/ui_texts.h"
#include "services/eds_store.h"

namespace {

// What the information fields read for a slave set up by hand ("用户自设定未知").
std::string UnknownText() { return resources::Text(resource_ids::kTextUnknownUserSet); }

constexpr int kMaxMacId = 63;
constexpr int kPlaceholderPosition = 1;

std::string Stem(const std::string& path) { return std::filesystem::path(path).stem().string(); }

}  // namespace

SlavePropertyRules::SlavePropertyRules(IDialogControls& controls, Context context, CServerDev* master,
                                       std::string edsName)
    : controls_(controls), context_(std::move(context)), mode_(kAdd), master_(master), edsName_(std::move(edsName)) {
    block_.use.Reset();
}

SlavePropertyRules::SlavePropertyRules(IDialogControls& controls, Context context, CSlaveDev* slave)
    : controls_(controls), context_(std::move(context)), mode_(kEdit), slave_(slave) {
    if (slave_ != nullptr) {
        master_ = slave_->GetParent();
        block_ = slave_->Config();
        eds_ = slave_->Eds();
        edsName_ = eds_.path.empty() ? std::string(EdsStore::kNoEdsName) : Stem(eds_.path);
    }
}

void SlavePropertyRules::Say(std::string_view text) const {
    if (context_.message) context_.message(text);
}

std::string SlavePropertyRules::PathOf(const std::string& name) const {
    if (mode_ == kEdit && slave_ != nullptr && name == edsName_ && !slave_->Eds().path.empty())
        return slave_->Eds().path;
    return context_.eds ? context_.eds->Path(name) : std::string();
}

bool SlavePropertyRules::Open() {
    controls_.SetEnabled(kConnections[kMulticast].check, false);
    controls_.SetEnabled(kVendorId, false);
    controls_.SetEnabled(kProductType, false);
    controls_.SetEnabled(kProductCode, false);
    controls_.SetChecked(kAckCheck, true);
    controls_.SetEnabled(kAckTimeout, true);
    controls_.SetText(kAckTimeout, "16");
    controls_.SetShown(kConnections[kStrobe].outputSize, false);
    controls_.SetShown(kConnections[kStrobe].outputList, false);

    FillEdsList();
    FillStartList();
    if (mode_ == kAdd && addresses_[kStartList].empty()) {
        Say(resources::Text(resource_ids::kTextAllAddressesUsed));
        return false;
    }

    if (mode_ == kAdd) {
        controls_.SetShown(kBatch, true);
        controls_.SetChecked(kBatch, false);
        controls_.SetEnabled(kParameters, false);
        OnBatchToggled();
        ReloadFromSelection();
    } else {
        controls_.SetShown(kBatch, false);
        controls_.SetChecked(kBatch, false);
        OnBatchToggled();
        const VARDA_SLAVE_CONFIG record = block_.record.Record();
        controls_.SetText(kVendorId, std::to_string(record.VendorId));
        controls_.SetText(kProductType, std::to_string(record.ProductType));
        controls_.SetText(kProductCode, std::to_string(record.ProductCode));
        controls_.SetText(kHeartbeat, std::to_string(record.HeartbeatTime));
        controls_.SetText(kAckTimeout, std::to_string(record.AckTimeout));
        controls_.SetText(kInhibit, std::to_string(record.ProductionInhibitTime));
        controls_.SetChecked(kPollEveryScan, record.BackgroundPoll == 0);
        controls_.SetChecked(kPollInterval, record.BackgroundPoll != 0);
        controls_.SetText(kSlaveName, block_.name);
        hasEds_ = block_.use[ConnectionUse::kFromEds] == 1 && !eds_.path.empty();
        if (hasEds_) {
            const auto& device = eds_.description.Device();
            char version[32];
            std::snprintf(version, sizeof version, "%d.%03d", device.MajRev(), device.MinRev());
            SetInfoTexts(device.ProdName(), device.VendName(), device.ProdTypeStr(), version);
            FillConnectionsFromEds();
        } else {
            SetInfoTexts(UnknownText(), UnknownText(), UnknownText(), UnknownText());
            ClearConnections(true);
            controls_.SetCurrentIndex(kEdsList, kPlaceholderPosition);
            shownEdsPosition_ = kPlaceholderPosition;
        }
        ApplyBlockToConnections();
    }
    UpdateVisibility();
    return true;
}

void SlavePropertyRules::FillEdsList() {
    std::vector<std::string> items{resources::Text(resource_ids::kTextImportEdsItem)};
    if (context_.eds != nullptr)
        for (const std::string& name : context_.eds->Names()) items.push_back(name);
    if (items.size() == 1) items.push_back(EdsStore::kNoEdsName);
    auto it = std::find(items.begin() + 1, items.end(), edsName_);
    if (it == items.end() && !edsName_.empty()) {
        // A slave read from a network file may name an EDS file the store does not list.
        items.push_back(edsName_);
        it = items.end() - 1;
    }
    const int position = it == items.end() ? kPlaceholderPosition : static_cast<int>(it - items.begin());
    controls_.SetItems(kEdsList, items);
    controls_.SetCurrentIndex(kEdsList, position);
    shownEdsPosition_ = position;
}

std::vector<int> SlavePropertyRules::FreeAddresses(int from) const {
    std::vector<int> free;
    const int masterMac = master_ != nullptr ? master_->GetAddress() : -1;
    for (int mac = std::max(from, 0); mac <= kMaxMacId; ++mac) {
        if (mac == masterMac) continue;
        if (master_ != nullptr && master_->FindSlave(mac) != nullptr) continue;
        free.push_back(mac);
    }
    return free;
}

int SlavePropertyRules::ListAddress(int id) const {
    int current = controls_.CurrentIndex(id);
    auto it = addresses_.find(id);
    if (current < 0 || it == addresses_.end() || static_cast<size_t>(current) >= it->second.size()) return -1;
    return it->second[static_cast<size_t>(current)];
}

void SlavePropertyRules::FillStartList() {
    std::vector<int> macs = FreeAddresses(0);
    if (mode_ == kEdit && slave_ != nullptr) macs.insert(macs.begin(), slave_->GetAddress());
    std::vector<std::string> texts;
    for (int mac : macs) texts.push_back(std::to_string(mac));
    controls_.SetItems(kStartList, texts);
    addresses_[kStartList] = macs;
    controls_.SetCurrentIndex(kStartList, texts.empty() ? -1 : 0);
    FillEndList();
}

void SlavePropertyRules::FillEndList() {
    const int previous = ListAddress(kEndList);
    const int start = ListAddress(kStartList);
    std::vector<int> macs = start < 0 ? std::vector<int>{} : FreeAddresses(start);
    std::vector<std::string> texts;
    for (int mac : macs) texts.push_back(std::to_string(mac));
    controls_.SetItems(kEndList, texts);
    addresses_[kEndList] = macs;
    int select = texts.empty() ? -1 : 0;
    if (previous > start) {
        auto it = std::find(macs.begin(), macs.end(), previous);
        if (it != macs.end()) select = static_cast<int>(it - macs.begin());
    }
    controls_.SetCurrentIndex(kEndList, select);
}

void SlavePropertyRules::OnBatchToggled() {
    const bool batch = mode_ == kAdd && controls_.IsChecked(kBatch);
    controls_.SetText(kStartLabel, batch ? context_.startAddressLabel : context_.slaveAddressLabel);
    controls_.SetShown(kEndList, batch);
    controls_.SetShown(kEndLabel, batch);
    if (batch) FillEndList();
}

void SlavePropertyRules::OnStartChanged() { FillEndList(); }

void SlavePropertyRules::SetInfoTexts(const std::string& name, const std::string& vendor, const std::string& type,
                                      const std::string& version) {
    controls_.SetText(kInfoName, name);
    controls_.SetText(kInfoVendor, vendor);
    controls_.SetText(kInfoType, type);
    controls_.SetText(kInfoVersion, version);
}

void SlavePropertyRules::OnEdsSelected() {
    int position = controls_.CurrentIndex(kEdsList);
    if (position < 0) return;
    std::vector<std::string> items = controls_.Items(kEdsList);
    if (position == 0) {
        // The file dialog runs an event loop of its own: a second activation of the entry that
        // arrives meanwhile (keyboard and pop-up both report it) must not open another one.
        if (picking_) return;
        picking_ = true;
        std::optional<std::string> path = context_.pickEdsFile ? context_.pickEdsFile() : std::nullopt;
        picking_ = false;
        if (!path || path->empty()) {
            controls_.SetCurrentIndex(kEdsList, shownEdsPosition_);
            return;
        }
        const std::string name = Stem(*path);
        auto it = std::find(items.begin() + 1, items.end(), name);
        if (it == items.end()) {
            items.push_back(name);
            controls_.SetItems(kEdsList, items);
            position = static_cast<int>(items.size()) - 1;
            if (context_.eds != nullptr) {
                context_.eds->RegisterPath(name, *path);
                context_.eds->AddName(name);
            }
        } else {
            position = static_cast<int>(it - items.begin());
            Say(resources::Text(resource_ids::kTextEdsNameExists));
        }
        controls_.SetCurrentIndex(kEdsList, position);
    }
    shownEdsPosition_ = position;
    edsName_ = items[static_cast<size_t>(position)];
    ReloadFromSelection();
    UpdateVisibility();
}

bool SlavePropertyRules::ReloadFromSelection() {
    const int position = controls_.CurrentIndex(kEdsList);
    const std::vector<std::string> items = controls_.Items(kEdsList);
    hasEds_ = position > kPlaceholderPosition && position < static_cast<int>(items.size());
    if (hasEds_) {
        const std::string& name = items[static_cast<size_t>(position)];
        const std::string path = PathOf(name);
        SlaveEds loaded;
        const int ok = LoadSlaveEds(loaded, path);
        std::string problem;
        if (!ok || !loaded.description.IsLoaded()) {
            problem = resources::FormatText(resource_ids::kTextCannotReadEds, path.c_str());
        } else if (loaded.description.IOInfo().Entries().empty()) {
            problem = resources::FormatText(resource_ids::kTextEdsWithoutIoInfo, path.c_str());
        }
        if (!problem.empty()) {
            Say(resources::FormatText(resource_ids::kTextEdsNotUsed, problem.c_str()));
            controls_.SetCurrentIndex(kEdsList, kPlaceholderPosition);
            shownEdsPosition_ = kPlaceholderPosition;
            hasEds_ = false;
        } else {
            eds_ = std::move(loaded);
            controls_.SetText(kSlaveName, name);
            const auto& device = eds_.description.Device();
            controls_.SetText(kVendorId, std::to_string(device.VendCode()));
            controls_.SetText(kProductType, std::to_string(device.ProdType()));
            controls_.SetText(kProductCode, std::to_string(device.ProdCode()));
            char version[32];
            std::snprintf(version, sizeof version, "%d.%03d", device.MajRev(), device.MinRev());
            SetInfoTexts(device.ProdName(), device.VendName(), device.ProdTypeStr(), version);
        }
    }
    if (!hasEds_) {
        eds_ = SlaveEds{};
        controls_.SetText(kSlaveName, "slave");
        controls_.SetText(kVendorId, "0");
        controls_.SetText(kProductType, "0");
        controls_.SetText(kProductCode, "0");
        SetInfoTexts(UnknownText(), UnknownText(), UnknownText(), UnknownText());
    }
    controls_.SetText(kHeartbeat, "250");
    controls_.SetText(kAckTimeout, "16");
    controls_.SetText(kInhibit, "1");
    controls_.SetChecked(kPollEveryScan, true);
    controls_.SetChecked(kPollInterval, false);
    if (hasEds_) {
        FillConnectionsFromEds();
    } else {
        ClearConnections(true);
    }
    return hasEds_;
}

void SlavePropertyRules::SetEntryList(int id, const std::vector<std::string>& texts, std::vector<int> entries) {
    controls_.SetItems(id, texts);
    entries_[id] = std::move(entries);
}

void SlavePropertyRules::SelectEntry(int id, int entry) {
    const std::vector<int>& entries = entries_[id];
    auto it = std::find(entries.begin(), entries.end(), entry);
    controls_.SetCurrentIndex(id, it == entries.end() ? -1 : static_cast<int>(it - entries.begin()));
}

int SlavePropertyRules::SelectedEntry(int listId) const {
    int current = controls_.CurrentIndex(listId);
    auto it = entries_.find(listId);
    if (current < 0 || it == entries_.end() || static_cast<size_t>(current) >= it->second.size()) return -1;
    return it->second[static_cast<size_t>(current)];
}

void SlavePropertyRules::ClearConnections(bool enableAll) {
    for (int c = 0; c < kConnectionCount; ++c) {
        const ConnectionControls& k = kConnections[static_cast<size_t>(c)];
        controls_.SetEnabled(k.check, enableAll && c != kMulticast);
        controls_.SetChecked(k.check, false);
        SetEntryList(k.inputList, {}, {});
        SetEntryList(k.outputList, {}, {});
        controls_.SetText(k.inputSize, "0");
        controls_.SetText(k.outputSize, "0");
    }
}

void SlavePropertyRules::FillConnectionsFromEds() {
    ClearConnections(false);
    const auto& io = eds_.description.IOInfo();
    const uint32_t defaults = io.SupportedConnections();
    for (int c = 0; c < kConnectionCount; ++c) {
        const ConnectionControls& k = kConnections[static_cast<size_t>(c)];
        const auto& info = io.GetConnection(static_cast<DeviceNetEDS::CIO_InfoInfo::Connection>(c));
        // The multicast poll box stays disabled: its sizes are not kept in the slave record.
        controls_.SetEnabled(k.check, info.valid != 0 && c != kMulticast);
        controls_.SetChecked(k.check, info.valid != 0 && (defaults & (1u << c)) != 0);
        std::vector<std::string> inTexts, outTexts;
        std::vector<int> inEntries, outEntries;
        for (const auto& [number, entry] : io.Inputs()) {
            if (entry.connectionMask & (1u << c)) {
                inTexts.push_back(entry.name);
                inEntries.push_back(number);
            }
        }
        for (const auto& [number, entry] : io.Outputs()) {
            if (entry.connectionMask & (1u << c)) {
                outTexts.push_back(entry.name);
                outEntries.push_back(number);
            }
        }
        const bool defaultListed =
            std::find(outEntries.begin(), outEntries.end(), info.defaultOutput) != outEntries.end();
        if (!defaultListed) {
            outTexts.push_back("no");
            outEntries.push_back(0);
        }
        SetEntryList(k.inputList, inTexts, inEntries);
        SetEntryList(k.outputList, outTexts, outEntries);
        SelectEntry(k.inputList, info.defaultInput);
        SelectEntry(k.outputList, defaultListed ? info.defaultOutput : 0);
        UpdateSizeFromEntry(c, true);
        UpdateSizeFromEntry(c, false);
    }
    if (controls_.IsChecked(kConnections[kCos].check) && controls_.IsChecked(kConnections[kCyclic].check))
        controls_.SetChecked(kConnections[kCyclic].check, false);
    if (controls_.IsChecked(kConnections[kCyclic].check)) {
        controls_.SetText(kHeartbeatLabel, context_.cycleTimeLabel);
    } else {
        controls_.SetText(kHeartbeatLabel, context_.heartbeatLabel);
    }
}

void SlavePropertyRules::UpdateSizeFromEntry(int connection, bool input) {
    const ConnectionControls& k = kConnections[static_cast<size_t>(connection)];
    const int list = input ? k.inputList : k.outputList;
    const int entry = SelectedEntry(list);
    int size = 0;
    if (entry > 0 && hasEds_) {
        const auto& io = eds_.description.IOInfo();
        size = input ? io.GetInput(entry).size : io.GetOutput(entry).size;
    }
    controls_.SetText(input ? k.inputSize : k.outputSize, std::to_string(size));
}

void SlavePropertyRules::ApplyBlockToConnections() {
    const ConnectionUse& use = block_.use;
    const VARDA_SLAVE_CONFIG r = block_.record.Record();
    auto apply = [&](int c, bool on, int in, int out, int inSize, int outSize) {
        const ConnectionControls& k = kConnections[static_cast<size_t>(c)];
        controls_.SetChecked(k.check, on);
        // A connection that is not used keeps the EDS defaults, ready to be ticked.
        if (!on && hasEds_) return;
        if (hasEds_) {
            SelectEntry(k.inputList, in);
            SelectEntry(k.outputList, out);
        }
        controls_.SetText(k.inputSize, std::to_string(inSize));
        controls_.SetText(k.outputSize, std::to_string(outSize));
    };
    apply(kPoll, use[ConnectionUse::kPoll] != 0, use[ConnectionUse::kPollInput], use[ConnectionUse::kPollOutput],
          r.PollInputSize, r.PollOutputSize);
    apply(kStrobe, use[ConnectionUse::kStrobe] != 0, use[ConnectionUse::kStrobeInput], 0, r.StrobeInputSize,
          r.StrobeOutputSize);
    apply(kCos, use[ConnectionUse::kCos] != 0, use[ConnectionUse::kCosInput], use[ConnectionUse::kCosOutput],
          r.CosInputSize, r.CosOutputSize);
    apply(kCyclic, use[ConnectionUse::kCyclic] != 0, use[ConnectionUse::kCyclicInput],
          use[ConnectionUse::kCyclicOutput], r.CosInputSize, r.CosOutputSize);
    apply(kMulticast, use[ConnectionUse::kMulticast] != 0, use[ConnectionUse::kMulticastInput],
          use[ConnectionUse::kMulticastOutput], 0, 0);
    if (hasEds_) {
        UpdateSizeFromEntry(kMulticast, true);
        UpdateSizeFromEntry(kMulticast, false);
    }
    controls_.SetChecked(kAckCheck, use[ConnectionUse::kAckTimeout] != 0);
    controls_.SetEnabled(kAckTimeout, use[ConnectionUse::kAckTimeout] != 0);
    controls_.SetText(kHeartbeatLabel, use[ConnectionUse::kCyclic] ? context_.cycleTimeLabel : context_.heartbeatLabel);
}

void SlavePropertyRules::OnConnectionToggled(int checkId) {
    const int cos = kConnections[kCos].check, cyclic = kConnections[kCyclic].check;
    if (checkId == cos && controls_.IsChecked(cos)) {
        controls_.SetChecked(cyclic, false);
        controls_.SetText(kHeartbeatLabel, context_.heartbeatLabel);
        controls_.SetText(kHeartbeat, "250");
    } else if (checkId == cyclic && controls_.IsChecked(cyclic)) {
        controls_.SetChecked(cos, false);
        controls_.SetText(kHeartbeatLabel, context_.cycleTimeLabel);
        controls_.SetText(kHeartbeat, "1000");
    }
    UpdateVisibility();
}

void SlavePropertyRules::OnEntryChanged(int listId) {
    for (int c = 0; c < kConnectionCount; ++c) {
        const ConnectionControls& k = kConnections[static_cast<size_t>(c)];
        if (listId == k.inputList) UpdateSizeFromEntry(c, true);
        if (listId == k.outputList) UpdateSizeFromEntry(c, false);
    }
}

void SlavePropertyRules::OnAckCheckToggled() {
    controls_.SetEnabled(kAckTimeout, controls_.IsChecked(kAckCheck));
    controls_.SetText(kAckTimeout, "16");
}

void SlavePropertyRules::OnDefaultIo() {
    if (hasEds_) {
        FillConnectionsFromEds();
    } else {
        ClearConnections(true);
    }
    UpdateVisibility();
}

void SlavePropertyRules::UpdateVisibility() {
    auto ticked = [this](int c) { return controls_.IsChecked(kConnections[static_cast<size_t>(c)].check); };
    const bool poll = ticked(kPoll), cos = ticked(kCos), cyclic = ticked(kCyclic);
    for (int c = 0; c < kConnectionCount; ++c) {
        const ConnectionControls& k = kConnections[static_cast<size_t>(c)];
        const bool on = ticked(c);
        controls_.SetShown(k.inputList, on && hasEds_);
        controls_.SetShown(k.inputSize, on);
        controls_.SetEnabled(k.inputSize, !hasEds_);
        if (c == kStrobe) {
            controls_.SetShown(k.outputList, false);
            controls_.SetShown(k.outputSize, false);
            continue;
        }
        controls_.SetShown(k.outputList, on && hasEds_);
        controls_.SetShown(k.outputSize, on);
        bool editable = !hasEds_;
        if ((c == kCos || c == kCyclic) && poll) editable = false;
        controls_.SetEnabled(k.outputSize, editable);
    }
    controls_.SetShown(kSharedOutputNote, poll && (cos || cyclic));
    controls_.SetShown(kPollEveryScan, poll);
    controls_.SetShown(kPollInterval, poll);
    controls_.SetShown(kBackgroundLabel, poll);
    const bool timing = cos || cyclic;
    for (int id : {kHeartbeat, kHeartbeatLabel, kAckTimeout, kAckCheck}) controls_.SetShown(id, timing);
    controls_.SetShown(kInhibit, cos);
    controls_.SetShown(kInhibitLabel, cos);
    controls_.SetEnabled(kAckTimeout, controls_.IsChecked(kAckCheck));
}

SlavePropertyRules::OkResult SlavePropertyRules::Ok() {
    struct Checked {
        int id;
        int64_t lo, hi;
        bool check;
    };
    // Identity and timing fields; sizes are bytes of the record, so at most 255.
    const bool strobeShown = controls_.IsChecked(kConnections[kStrobe].check);
    const Checked fields[] = {
        {kVendorId, 0, 65535, true},
        {kProductType, 0, 65535, true},
        {kProductCode, 0, 65535, true},
        {kHeartbeat, 0, 65535, true},
        {kAckTimeout, 0, 65535, true},
        {kInhibit, 0, 65535, true},
        {kConnections[kStrobe].inputSize, 0, 8, strobeShown},
    };
    for (const Checked& f : fields) {
        if (!f.check) continue;
        const int64_t value = dialognum::ParseOrZero(controls_.GetText(f.id));
        if (value < f.lo || value > f.hi) {
            Say(dialognum::RangeMessage(f.lo, f.hi));
            return OkResult::kStayOpen;
        }
    }
    auto size = [this](int id) -> std::optional<uint8_t> {
        const int64_t value = dialognum::ParseOrZero(controls_.GetText(id));
        if (value < 0 || value > 255) return std::nullopt;
        return static_cast<uint8_t>(value);
    };
    auto ticked = [this](int c) { return controls_.IsChecked(kConnections[static_cast<size_t>(c)].check); };
    for (int c = 0; c < kConnectionCount; ++c) {
        if (!ticked(c)) continue;
        for (int id :
             {kConnections[static_cast<size_t>(c)].inputSize, kConnections[static_cast<size_t>(c)].outputSize}) {
            if (!size(id)) {
                Say(dialognum::RangeMessage(0, 255));
                return OkResult::kStayOpen;
            }
        }
    }

    const int start = ListAddress(kStartList);
    if (start < 0) {
        Say(resources::Text(resource_ids::kTextChooseSlaveAddress));
        return OkResult::kStayOpen;
    }
    const bool batch = mode_ == kAdd && controls_.IsChecked(kBatch);
    int end = batch ? ListAddress(kEndList) : start;
    if (end < start) end = start;

    SlaveConfigBlock block = block_;
    const uint8_t previousFromEds = block_.use[ConnectionUse::kFromEds];
    VARDA_SLAVE_CONFIG r{};
    r.MacId = static_cast<uint32_t>(start);
    r.VendorId = static_cast<uint32_t>(dialognum::ParseOrZero(controls_.GetText(kVendorId)));
    r.ProductType = static_cast<uint32_t>(dialognum::ParseOrZero(controls_.GetText(kProductType)));
    r.ProductCode = static_cast<uint32_t>(dialognum::ParseOrZero(controls_.GetText(kProductCode)));
    r.HeartbeatTime = static_cast<uint32_t>(dialognum::ParseOrZero(controls_.GetText(kHeartbeat)));
    r.AckTimeout = static_cast<uint32_t>(dialognum::ParseOrZero(controls_.GetText(kAckTimeout)));
    r.ProductionInhibitTime = static_cast<uint32_t>(dialognum::ParseOrZero(controls_.GetText(kInhibit)));
    r.BackgroundPoll = controls_.IsChecked(kPollInterval) ? 1 : 0;

    ConnectionUse& use = block.use;
    use.Reset();
    use[ConnectionUse::kFromEds] = mode_ == kAdd ? 1 : previousFromEds;
    auto entry = [this](int listId) -> uint8_t {
        const int e = hasEds_ ? SelectedEntry(listId) : 0;
        return static_cast<uint8_t>(e < 0 ? 0 : e);
    };
    const bool ack = controls_.IsChecked(kAckCheck);
    if (ticked(kPoll)) {
        use[ConnectionUse::kPoll] = 1;
        use[ConnectionUse::kPollInput] = entry(kConnections[kPoll].inputList);
        r.PollInputSize = *size(kConnections[kPoll].inputSize);
        use[ConnectionUse::kPollOutput] = entry(kConnections[kPoll].outputList);
        r.PollOutputSize = *size(kConnections[kPoll].outputSize);
    }
    if (ticked(kStrobe)) {
        use[ConnectionUse::kStrobe] = 1;
        use[ConnectionUse::kStrobeInput] = entry(kConnections[kStrobe].inputList);
        r.StrobeInputSize = *size(kConnections[kStrobe].inputSize);
        use[ConnectionUse::kStrobeOutput] = 0;
        r.StrobeOutputSize = 8;
    }
    if (ticked(kCos)) {
        use[ConnectionUse::kCos] = 1;
        use[ConnectionUse::kCosInput] = entry(kConnections[kCos].inputList);
        use[ConnectionUse::kCosOutput] = entry(kConnections[kCos].outputList);
        r.CosInputSize = *size(kConnections[kCos].inputSize);
        r.CosOutputSize = *size(kConnections[kCos].outputSize);
        use[ConnectionUse::kAckTimeout] = ack ? 1 : 0;
    } else if (ticked(kCyclic)) {
        r.CosInputSize = *size(kConnections[kCyclic].inputSize);
        r.CosOutputSize = *size(kConnections[kCyclic].outputSize);
        use[ConnectionUse::kAckTimeout] = ack ? 1 : 0;
    }
    if (ticked(kPoll)) r.CosOutputSize = r.PollOutputSize;
    if (ticked(kCyclic)) {
        use[ConnectionUse::kCyclic] = 1;
        use[ConnectionUse::kCyclicInput] = entry(kConnections[kCyclic].inputList);
        use[ConnectionUse::kCyclicOutput] = entry(kConnections[kCyclic].outputList);
    }
    if (ticked(kMulticast)) {
        use[ConnectionUse::kMulticast] = 1;
        use[ConnectionUse::kMulticastInput] = entry(kConnections[kMulticast].inputList);
        use[ConnectionUse::kMulticastOutput] = entry(kConnections[kMulticast].outputList);
    }
    r.ConnectionFlags = DeriveConnectionFlags(use);
    block.record.SetRecord(r);
    std::string name = controls_.GetText(kSlaveName);
    block.name = name.empty() ? std::string("Slave") : name;
    block_ = block;

    if (mode_ == kAdd) {
        result_ =
            AddSlavesFromDialog(master_, batch, static_cast<uint32_t>(start), static_cast<uint32_t>(end), block_, eds_);
        if (result_ == nullptr) return OkResult::kStayOpen;
    } else {
        if (slave_ == nullptr) return OkResult::kAccepted;
        slave_->ReplaceConfig(block_);
        slave_->SetEds(eds_);
        result_ = slave_;
    }
    return OkResult::kAccepted;
}
