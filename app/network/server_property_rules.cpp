#include "network/server_property_rules.h"

#include <algorithm>

#include "network/device_base.h"
#include "network/dialog_numbers.h"
#include "network/master_card.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/ui_texts.h"

namespace {

constexpr int kMaxDeviceIndex = 9;
constexpr int kMaxMacId = 63;

}  // namespace

ServerPropertyRules::ServerPropertyRules(IDialogControls& controls, Context context, int mode)
    : controls_(controls), context_(std::move(context)), mode_(mode), block_(MasterConfigBlock::Defaults(0, 0)) {}

void ServerPropertyRules::SetList(int id, const std::vector<std::string>& texts, std::vector<int64_t> data) {
    controls_.SetItems(id, texts);
    data_[id] = std::move(data);
}

void ServerPropertyRules::InsertTop(int id, const std::string& text, int64_t value) {
    std::vector<std::string> texts = controls_.Items(id);
    std::vector<int64_t>& data = data_[id];
    texts.insert(texts.begin(), text);
    data.insert(data.begin(), value);
    controls_.SetItems(id, texts);
}

void ServerPropertyRules::SelectText(int id, const std::string& text) {
    const std::vector<std::string> texts = controls_.Items(id);
    auto it = std::find(texts.begin(), texts.end(), text);
    if (it != texts.end()) {
        controls_.SetCurrentIndex(id, static_cast<int>(it - texts.begin()));
    } else {
        controls_.SetCurrentIndex(id, texts.empty() ? -1 : 0);
    }
}

void ServerPropertyRules::SelectData(int id, int64_t value) {
    const std::vector<int64_t>& data = data_[id];
    auto it = std::find(data.begin(), data.end(), value);
    if (it != data.end()) controls_.SetCurrentIndex(id, static_cast<int>(it - data.begin()));
}

int64_t ServerPropertyRules::SelectedData(int id) const {
    int current = controls_.CurrentIndex(id);
    auto it = data_.find(id);
    if (current < 0 || it == data_.end() || static_cast<size_t>(current) >= it->second.size()) return -1;
    return it->second[static_cast<size_t>(current)];
}

const DeviceTypeEntry* ServerPropertyRules::SelectedType() const {
    int current = controls_.CurrentIndex(kDeviceType);
    if (current < 0 || context_.deviceTypes == nullptr || static_cast<size_t>(current) >= context_.deviceTypes->size())
        return nullptr;
    return &(*context_.deviceTypes)[static_cast<size_t>(current)];
}

CServerDev* ServerPropertyRules::SelectedMaster() const {
    CDeviceBase* node = context_.selectedNode;
    if (node == nullptr || !node->IsMaster()) return nullptr;
    return static_cast<CServerDev*>(node);
}

bool ServerPropertyRules::Open() {
    std::vector<std::string> texts;
    std::vector<int64_t> data;
    if (context_.deviceTypes != nullptr) {
        for (const DeviceTypeEntry& entry : *context_.deviceTypes) {
            texts.push_back(entry.name);
            data.push_back(entry.type);
        }
    }
    SetList(kDeviceType, texts, data);
    int remembered = context_.rememberedType ? *context_.rememberedType : 0;
    controls_.SetCurrentIndex(kDeviceType, remembered >= 0 && remembered < static_cast<int>(texts.size())
                                               ? remembered
                                               : (texts.empty() ? -1 : 0));
    OnDeviceTypeChanged();

    texts.clear();
    data.clear();
    if (context_.baudNames != nullptr) {
        for (const auto& [code, name] : *context_.baudNames) {
            texts.push_back(name);
            data.push_back(code);
        }
    }
    SetList(kBaud, texts, data);
    remembered = context_.rememberedBaud ? *context_.rememberedBaud : 0;
    controls_.SetCurrentIndex(kBaud, remembered >= 0 && remembered < static_cast<int>(texts.size())
                                         ? remembered
                                         : (texts.empty() ? -1 : 0));

    const VARDA_INIT_PARAM defaults = block_.Record();
    controls_.SetText(kScanDelay, std::to_string(defaults.ScanDelay));
    controls_.SetText(kIntervalScanCycle, std::to_string(defaults.IntervalScanCycle));
    controls_.SetText(kRetryCount, std::to_string(defaults.RetryCount));
    controls_.SetText(kExpectedPacketRate, std::to_string(defaults.ExpectedPacketRate));
    controls_.SetText(kAutoMapSize, std::to_string(defaults.AutoMapSize));
    controls_.SetEnabled(kAutoMapSize, false);

    if (mode_ == kEdit) {
        CServerDev* master = SelectedMaster();
        if (master == nullptr) {
            if (context_.message) context_.message(resources::Text(resource_ids::kTextNoMasterChosen));
            ComposeName();
            return false;
        }
        MasterCard* card = master->Card();
        SelectData(kDeviceType, card ? card->DeviceType() : 0);
        OnDeviceTypeChanged();
        const std::string indexText = std::to_string(card ? card->DeviceIndex() : 0);
        if (std::find(data_[kDeviceIndex].begin(), data_[kDeviceIndex].end(), card ? card->DeviceIndex() : 0) ==
            data_[kDeviceIndex].end())
            InsertTop(kDeviceIndex, indexText, card ? card->DeviceIndex() : 0);
        SelectText(kDeviceIndex, indexText);
        RefreshChannelList();
        const std::string channelText = std::to_string(master->Channel());
        if (std::find(data_[kChannel].begin(), data_[kChannel].end(), master->Channel()) == data_[kChannel].end())
            InsertTop(kChannel, channelText, master->Channel());
        SelectText(kChannel, channelText);
        RefreshAddressList();
        block_ = master->Config();
        const VARDA_INIT_PARAM record = block_.Record();
        const std::string macText = std::to_string(record.MacId);
        if (std::find(data_[kAddress].begin(), data_[kAddress].end(), record.MacId) == data_[kAddress].end())
            InsertTop(kAddress, macText, record.MacId);
        SelectText(kAddress, macText);
        SelectData(kBaud, record.BaudRate);
        controls_.SetText(kScanDelay, std::to_string(record.ScanDelay));
        controls_.SetText(kIntervalScanCycle, std::to_string(record.IntervalScanCycle));
        controls_.SetText(kRetryCount, std::to_string(record.RetryCount));
        controls_.SetText(kExpectedPacketRate, std::to_string(record.ExpectedPacketRate));
        controls_.SetText(kAutoMapSize, std::to_string(record.AutoMapSize));
    }
    ComposeName();
    return true;
}

void ServerPropertyRules::OnDeviceTypeChanged() {
    RefreshIndexList();
    ComposeName();
}

void ServerPropertyRules::OnDeviceIndexChanged() {
    RefreshChannelList();
    ComposeName();
}

void ServerPropertyRules::OnChannelChanged() {
    RefreshAddressList();
    ComposeName();
}

void ServerPropertyRules::RefreshIndexList() {
    const std::string shown = controls_.GetText(kDeviceIndex);
    std::vector<std::string> texts;
    std::vector<int64_t> data;
    if (const DeviceTypeEntry* type = SelectedType()) {
        for (int i = 0; i <= kMaxDeviceIndex; ++i) {
            MasterCard* card = context_.network ? context_.network->FindCard(static_cast<uint32_t>(type->type),
                                                                             static_cast<uint32_t>(i))
                                                : nullptr;
            if (card == nullptr || mode_ == kEdit || card->Masters().size() < card->ChannelCount()) {
                texts.push_back(std::to_string(i));
                data.push_back(i);
            }
        }
    }
    SetList(kDeviceIndex, texts, data);
    SelectText(kDeviceIndex, shown);
    RefreshChannelList();
}

void ServerPropertyRules::RefreshChannelList() {
    const std::string shown = controls_.GetText(kChannel);
    std::vector<std::string> texts;
    std::vector<int64_t> data;
    const DeviceTypeEntry* type = SelectedType();
    const int64_t index = SelectedData(kDeviceIndex);
    if (type != nullptr && index >= 0) {
        MasterCard* card = context_.network ? context_.network->FindCard(static_cast<uint32_t>(type->type),
                                                                         static_cast<uint32_t>(index))
                                            : nullptr;
        if (card != nullptr && mode_ == kNew) {
            if (card->Masters().size() >= card->ChannelCount()) {
                SetList(kChannel, {}, {});
                controls_.SetCurrentIndex(kChannel, -1);
                RefreshAddressList();
                return;
            }
            for (uint32_t c = 0; c < card->ChannelCount(); ++c) {
                if (card->FindMaster(c) == nullptr) {
                    texts.push_back(std::to_string(c));
                    data.push_back(c);
                }
            }
        } else {
            for (int32_t c = 0; c < type->channelCount; ++c) {
                texts.push_back(std::to_string(c));
                data.push_back(c);
            }
        }
    }
    SetList(kChannel, texts, data);
    SelectText(kChannel, shown);
    RefreshAddressList();
}

void ServerPropertyRules::RefreshAddressList() {
    const std::string shown = controls_.GetText(kAddress);
    std::vector<std::string> texts;
    std::vector<int64_t> data;
    if (SelectedType() != nullptr && SelectedData(kDeviceIndex) >= 0 && SelectedData(kChannel) >= 0) {
        CServerDev* master = SelectedMaster();
        for (int mac = 0; mac <= kMaxMacId; ++mac) {
            if (master != nullptr && master->FindSlave(mac) != nullptr) continue;
            texts.push_back(std::to_string(mac));
            data.push_back(mac);
        }
    }
    SetList(kAddress, texts, data);
    SelectText(kAddress, shown);
}

void ServerPropertyRules::ComposeName() {
    const int ids[] = {kDeviceType, kDeviceIndex, kChannel, kBaud, kAddress};
    std::string parts[5];
    for (int i = 0; i < 5; ++i) {
        if (controls_.CurrentIndex(ids[i]) < 0) {
            controls_.SetText(kNetworkName, "error");
            return;
        }
        parts[i] = controls_.Items(ids[i])[static_cast<size_t>(controls_.CurrentIndex(ids[i]))];
        if (parts[i].empty()) {
            controls_.SetText(kNetworkName, "error");
            return;
        }
    }
    controls_.SetText(kNetworkName, parts[0] + "(" + parts[1] + "-" + parts[2] + "-" + parts[3] + ")-" + parts[4]);
}

ServerPropertyRules::OkResult ServerPropertyRules::Ok() {
    auto say = [this](std::string_view text) {
        if (context_.message) context_.message(text);
    };
    // The number fields: whole numbers of 32 bits, the retry count 1 to 10.
    struct Field {
        int id;
        int64_t lo, hi;
    };
    const Field fields[] = {{kScanDelay, 0, UINT32_MAX},
                            {kIntervalScanCycle, 0, UINT32_MAX},
                            {kRetryCount, 1, 10},
                            {kExpectedPacketRate, 0, UINT32_MAX},
                            {kAutoMapSize, 0, UINT32_MAX}};
    uint32_t values[5] = {};
    for (size_t i = 0; i < 5; ++i) {
        std::optional<int64_t> value = dialognum::Parse(controls_.GetText(fields[i].id));
        if (!value || *value < fields[i].lo || *value > fields[i].hi) {
            say(dialognum::RangeMessage(fields[i].lo, fields[i].hi));
            return OkResult::kStayOpen;
        }
        values[i] = static_cast<uint32_t>(*value);
    }

    if (controls_.CurrentIndex(kDeviceType) < 0) {
        say(resources::Text(resource_ids::kTextChooseCardModel));
        return OkResult::kStayOpen;
    }
    if (context_.rememberedType) *context_.rememberedType = controls_.CurrentIndex(kDeviceType);
    if (controls_.CurrentIndex(kDeviceIndex) < 0) {
        say(resources::Text(resource_ids::kTextChooseCardIndex));
        return OkResult::kStayOpen;
    }
    if (controls_.CurrentIndex(kChannel) < 0) {
        say(resources::Text(resource_ids::kTextChooseChannel));
        return OkResult::kStayOpen;
    }
    if (controls_.CurrentIndex(kBaud) < 0) {
        say(resources::Text(resource_ids::kTextChooseBaud));
        return OkResult::kStayOpen;
    }
    if (controls_.CurrentIndex(kAddress) < 0) {
        say(resources::Text(resource_ids::kTextChooseMasterAddress));
        return OkResult::kStayOpen;
    }
    if (context_.rememberedBaud) *context_.rememberedBaud = controls_.CurrentIndex(kBaud);

    VARDA_INIT_PARAM record = block_.Record();
    record.MacId = static_cast<uint32_t>(SelectedData(kAddress));
    record.BaudRate = static_cast<uint32_t>(SelectedData(kBaud));
    record.ScanDelay = values[0];
    record.IntervalScanCycle = values[1];
    record.RetryCount = values[2];
    record.ExpectedPacketRate = values[3];
    record.AutoMapSize = values[4];
    block_.SetRecord(record);

    const auto type = static_cast<uint32_t>(SelectedData(kDeviceType));
    const auto index = static_cast<uint32_t>(SelectedData(kDeviceIndex));
    const auto channel = static_cast<uint32_t>(SelectedData(kChannel));
    if (context_.network == nullptr) return OkResult::kStayOpen;
    if (mode_ == kNew) {
        result_ = context_.network->GetOrCreateMaster(type, index, channel);
    } else {
        CServerDev* master = SelectedMaster();
        if (master == nullptr) return OkResult::kAccepted;
        CServerDev* holder = context_.network->FindMaster(type, index, channel);
        if (holder != nullptr && holder != master) {
            std::string name;
            holder->GetName(name);
            say(resources::FormatText(resource_ids::kTextChannelTaken, name.c_str()));
            return OkResult::kStayOpen;
        }
        if (!context_.network->MoveMaster(type, index, channel, master)) {
            say(resources::Text(resource_ids::kTextCannotMoveMaster));
            return OkResult::kStayOpen;
        }
        result_ = master;
    }
    if (result_ == nullptr) return OkResult::kStayOpen;
    result_->SetConfig(block_);
    return OkResult::kAccepted;
}

std::string ServerPropertyRules::TooltipHtml(std::string_view markup) {
    // Cut at 79 characters (code points of UTF-8).
    size_t chars = 0, cut = 0;
    while (cut < markup.size() && chars < 79) {
        ++cut;
        while (cut < markup.size() && (static_cast<unsigned char>(markup[cut]) & 0xC0) == 0x80) ++cut;
        ++chars;
    }
    markup = markup.substr(0, cut);

    std::string out;
    std::vector<bool> stack;
    bool bold = false;
    for (size_t i = 0; i < markup.size(); ++i) {
        char c = markup[i];
        if (c == '{') {
            stack.push_back(bold);
        } else if (c == '}') {
            bool outer = stack.empty() ? false : stack.back();
            if (!stack.empty()) stack.pop_back();
            if (bold && !outer) out += "</b>";
            bold = outer;
        } else if (c == '\\' && i + 1 < markup.size() && markup[i + 1] == 'b') {
            ++i;
            if (i + 1 < markup.size() && markup[i + 1] == ' ') ++i;
            if (!bold) out += "<b>";
            bold = true;
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&') {
            out += "&amp;";
        } else {
            out += c;
        }
    }
    if (bold) out += "</b>";
    return out;
}
