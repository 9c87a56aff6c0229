// Rules of the node commissioning dialog (template 20060): the address and baud-rate fields with
// their checks, which buttons are enabled while a read or a commissioning runs and after it, the
// step list and the result line, and the slave "添加到网络" adds (the device at its new address
// with the EDS file matching its identity). Written against IDialogControls so that it runs
// without a display; the Qt dialog runs the core's NodeCommissioning on a worker and forwards
// its rows and its end here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/node_commissioning.h"
#include "network/slave_setup.h"
#include "resources/dialog_controls.h"

class CServerDev;

class CommissionDialogRules {
public:
    enum Control : int {
        kCurrentAddress = 3420,  // EDIT, 0..63
        kNewAddress = 3421,  // EDIT, 0..63
        kBaud = 3422,  // COMBOBOX: unchanged, 125K, 250K, 500K
        kIdentity = 3423,  // STATIC: the identity read and its EDS file
        kSteps = 3424,  // LISTBOX: one row per step
        kStatus = 3425,  // STATIC: what runs or how it ended
        kProgress = 3426,  // progress bar (the dialog drives it)
        kRead = 3427,  // "读取"
        kRun = 3428,  // "执行"
        kAdd = 3429,  // "添加到网络"
        kClose = 2,
    };
    enum class Activity { kIdle, kReading, kRunning };

    struct Context {
        CServerDev* master = nullptr;
        // The EDS name for a device identity, nothing when no known EDS file matches.
        std::function<std::optional<std::string>(const NodeIdentity&)> edsFor;
        std::function<void(std::string_view)> message;  // a message box
    };

    CommissionDialogRules(IDialogControls& controls, Context context);

    // Fills the fields: current address 63, no new address, baud rate unchanged.
    void Open();

    // The request of "读取" / "执行" from the fields; nothing (after a message) when a field is
    // not a MAC ID or the core refuses the request.
    std::optional<CommissionRequest> ReadRequest();
    std::optional<CommissionRequest> RunRequest();

    // A read or a commissioning has started; fields and buttons are locked until Finish.
    void Begin(Activity activity, const CommissionRequest& request);
    void AddRow(const std::string& text);
    void Finish(const CommissionOutcome& outcome);

    Activity Busy() const { return activity_; }
    const std::vector<std::string>& Rows() const { return rows_; }
    // The slave "添加到网络" adds, when the last commissioning put a device with a known EDS file
    // on this bus at an address no slave of the master uses.
    std::optional<SearchedSlave> SlaveToAdd() const;
    // The slave was added: the button goes off until the next commissioning.
    void Added();

private:
    // The MAC ID in field `id`; an empty field reads as 64 when allowed. Nothing (after a
    // message) when the field holds anything else than 0..63.
    std::optional<uint32_t> Address(int id, bool emptyAllowed) const;
    void ShowIdentity(const NodeIdentity& identity);
    void ApplyEnabled();
    void Message(const std::string& text) const;

    IDialogControls& controls_;
    Context context_;
    Activity activity_ = Activity::kIdle;
    CommissionRequest request_;  // of the activity in progress or last finished
    std::vector<std::string> rows_;
    std::optional<SearchedSlave> toAdd_;
};
