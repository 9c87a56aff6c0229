// Rules of the master dialog (template 20019): the device type, index, channel, baud rate and
// address lists with their cascades, the network name, the five scan settings and the OK checks
// that create or move the master. Written against IDialogControls so that it runs without a
// display; the Qt dialog forwards its control changes here.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "network/master_config_block.h"
#include "resources/dialog_controls.h"
#include "services/global.h"

class CDeviceBase;
class CServerDev;
class NetworkRegistry;

class ServerPropertyRules {
public:
    enum Control : int {
        kDeviceType = 3301,
        kDeviceIndex = 3302,
        kChannel = 3303,
        kBaud = 3304,
        kAddress = 3391,
        kNetworkName = 3306,
        kScanDelay = 3309,
        kIntervalScanCycle = 3327,
        kRetryCount = 3328,
        kExpectedPacketRate = 3329,
        kAutoMapSize = 3331,
    };
    enum Mode : int { kEdit = 0, kNew = 1 };
    enum class OkResult { kStayOpen, kAccepted };

    struct Context {
        const std::vector<DeviceTypeEntry>* deviceTypes = nullptr;
        const std::map<int32_t, std::string>* baudNames = nullptr;
        NetworkRegistry* network = nullptr;
        CDeviceBase* selectedNode = nullptr;  // the tree's selected node (may be null)
        int32_t* rememberedType = nullptr;  // position of the last chosen device type
        int32_t* rememberedBaud = nullptr;  // position of the last chosen baud rate
        std::function<void(std::string_view)> message;  // a message box
    };

    static constexpr int kNumberFields[] = {kScanDelay, kIntervalScanCycle, kRetryCount, kExpectedPacketRate,
                                            kAutoMapSize};

    ServerPropertyRules(IDialogControls& controls, Context context, int mode);

    // Fills the lists and, in edit mode, loads the selected master. False when edit mode has no
    // selected master (the warning was shown).
    bool Open();

    // Control changes forwarded by the dialog.
    void OnDeviceTypeChanged();
    void OnDeviceIndexChanged();
    void OnChannelChanged();
    void OnBaudOrAddressChanged() { ComposeName(); }

    // The OK button: checks, then creates or moves the master and writes its block.
    OkResult Ok();

    CServerDev* ResultMaster() const { return result_; }
    const MasterConfigBlock& WorkingBlock() const { return block_; }
    int Mode() const { return mode_; }
    // The item data of the current item of a combo box, or -1.
    int64_t SelectedData(int id) const;
    // The network name shown in control 3306.
    std::string NetworkName() const { return controls_.GetText(kNetworkName); }

    // A tool tip text as rich text: braces group, "\\b" turns bold on up to the end of its group,
    // everything else is shown as typed. At most 79 characters of the text are used.
    static std::string TooltipHtml(std::string_view markup);

private:
    void SetList(int id, const std::vector<std::string>& texts, std::vector<int64_t> data);
    void InsertTop(int id, const std::string& text, int64_t value);
    void SelectText(int id, const std::string& text);
    void SelectData(int id, int64_t value);
    void RefreshIndexList();
    void RefreshChannelList();
    void RefreshAddressList();
    void ComposeName();
    CServerDev* SelectedMaster() const;
    const DeviceTypeEntry* SelectedType() const;

    IDialogControls& controls_;
    Context context_;
    int mode_;
    MasterConfigBlock block_;
    CServerDev* result_ = nullptr;
    std::map<int, std::vector<int64_t>> data_;  // item data of each combo box
};
