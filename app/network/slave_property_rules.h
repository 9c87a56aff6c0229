// Rules of the slave dialog (template 17003): the EDS list with its import entry, the identity
// and information texts, the connection area, the address lists with batch add and the OK step
// that builds the slave's configuration block. Written against IDialogControls so that it runs
// without a display; the Qt dialog forwards its control changes here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/slave_config_block.h"
#include "network/slave_eds.h"
#include "resources/dialog_controls.h"

class CServerDev;
class CSlaveDev;
class EdsStore;

class SlavePropertyRules {
public:
    enum Control : int {
        kEdsList = 3339,
        kSlaveName = 17005,
        kStartLabel = 17006,
        kStartList = 17007,
        kBatch = 17008,
        kEndList = 17009,
        kEndLabel = 17010,
        kDefaultIo = 3311,
        kParameters = 3407,
        kVendorId = 14130,
        kProductType = 3406,
        kProductCode = 14132,
        kHeartbeat = 3408,
        kHeartbeatLabel = 3418,
        kAckTimeout = 3409,
        kAckCheck = 3455,
        kInhibit = 3410,
        kInhibitLabel = 3419,
        kPollEveryScan = 3411,
        kPollInterval = 3412,
        kBackgroundLabel = 3417,
        kBackgroundGroup = 3456,
        kInfoVersion = 3413,
        kInfoType = 3414,
        kInfoVendor = 3415,
        kInfoName = 3416,
        kSharedOutputNote = 3468,
    };
    // The five connections in the order of ConnectionUse and of the IO_Info connection keys.
    enum Connection : int { kPoll = 0, kStrobe = 1, kCos = 2, kCyclic = 3, kMulticast = 4, kConnectionCount = 5 };
    struct ConnectionControls {
        int check, inputList, inputSize, outputList, outputSize;
    };
    static constexpr std::array<ConnectionControls, kConnectionCount> kConnections = {{
        {3344, 3349, 3350, 3364, 3351},
        {3345, 3365, 3353, 3366, 3354},
        {3346, 3367, 3356, 3368, 3357},
        {3347, 3369, 3359, 3370, 3360},
        {3348, 3371, 3362, 3372, 3363},
    }};

    enum Mode : int { kAdd = 0, kEdit = 1 };
    enum class OkResult { kStayOpen, kAccepted };

    struct Context {
        EdsStore* eds = nullptr;
        std::function<void(std::string_view)> message;  // a message box
        std::function<std::optional<std::string>()> pickEdsFile;  // open-file dialog; nothing on cancel
        // Captions the dialog switches between (those of the current language).
        std::string slaveAddressLabel = "从站地址:";
        std::string startAddressLabel = "从站起始地址:";
        std::string heartbeatLabel = "心跳报文时间(ms)";
        std::string cycleTimeLabel = "循环时间(ms)";
    };

    // Add mode: a slave for `master` described by EDS name `edsName`.
    SlavePropertyRules(IDialogControls& controls, Context context, CServerDev* master, std::string edsName);
    // Edit mode: the slave's own settings.
    SlavePropertyRules(IDialogControls& controls, Context context, CSlaveDev* slave);

    // Fills every control. False when the dialog must close as cancelled (no free address).
    bool Open();

    // Control changes forwarded by the dialog.
    void OnEdsSelected();
    void OnConnectionToggled(int checkId);
    void OnEntryChanged(int listId);
    void OnAckCheckToggled();
    void OnBatchToggled();
    void OnStartChanged();
    void OnDefaultIo();

    OkResult Ok();

    int Mode() const { return mode_; }
    bool HasEds() const { return hasEds_; }
    const SlaveConfigBlock& WorkingBlock() const { return block_; }
    const SlaveEds& WorkingEds() const { return eds_; }
    // The slave created (add mode, the first of a batch) or edited.
    CSlaveDev* ResultSlave() const { return result_; }
    // The entry number kept as item data of the current item of an entry list, or -1.
    int SelectedEntry(int listId) const;

private:
    void FillEdsList();
    void FillStartList();
    void FillEndList();
    std::vector<int> FreeAddresses(int from) const;
    bool ReloadFromSelection();
    void FillConnectionsFromEds();
    void ClearConnections(bool enableAll);
    void ApplyBlockToConnections();
    void SetEntryList(int id, const std::vector<std::string>& texts, std::vector<int> entries);
    void SelectEntry(int id, int entry);
    void UpdateSizeFromEntry(int connection, bool input);
    void UpdateVisibility();
    void SetInfoTexts(const std::string& name, const std::string& vendor, const std::string& type,
                      const std::string& version);
    void Say(std::string_view text) const;
    std::string PathOf(const std::string& name) const;
    int ListAddress(int id) const;

    IDialogControls& controls_;
    Context context_;
    int mode_;
    CServerDev* master_ = nullptr;
    CSlaveDev* slave_ = nullptr;
    std::string edsName_;
    SlaveConfigBlock block_;
    SlaveEds eds_;
    bool hasEds_ = false;
    int shownEdsPosition_ = -1;  // the selection before the current change
    bool picking_ = false;  // the EDS file dialog is open
    CSlaveDev* result_ = nullptr;
    std::map<int, std::vector<int>> entries_;  // entry numbers of each entry list
    std::map<int, std::vector<int>> addresses_;  // MAC IDs of the start and end lists
};
