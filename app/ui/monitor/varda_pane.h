// CVARDAPane: the explicit message console of one slave (template 20032). Sends a CIP request
// and shows the reply, repeats it on a timer with bounded retries, reads and writes the slave's
// I/O data and shows its status. The rules are monitor/explicit_console.h; this binds controls.
#pragma once

#include <QTimer>
#include <memory>
#include <optional>

#include "monitor/console_session.h"
#include "monitor/explicit_console.h"
#include "ui/widgets/template_dialog.h"

class CSlaveDev;
class CServerDev;
class HexEdit;

class CVARDAPane : public TemplateDialog {
    Q_OBJECT
public:
    // Control ids of template 20032.
    enum ControlId : int {
        kSlaveList = 1001,
        kStatusText = 1002,
        kGetStatus = 1003,
        kServiceList = 1004,
        kClassList = 1005,
        kInstanceList = 1006,
        kServiceData = 1007,
        kRequestLength = 1008,
        kExplicitTimeout = 1009,
        kSend = 1010,
        kReplyData = 1011,
        kReplyLength = 1012,
        kConnectionType = 1013,
        kWriteData = 1014,
        kWriteLength = 1015,
        kWriteTimeout = 1016,
        kWriteIo = 1017,
        kReadData = 1018,
        kReadLength = 1019,
        kReadTimeout = 1020,
        kReadIo = 1021,
        kTimedSend = 1022,
        kPeriod = 1023,
        kRetryCount = 1024,
    };

    // The slave must have a master. `reports` (not owned) replaces CGlobal's reports, for tests.
    explicit CVARDAPane(CSlaveDev& slave, QWidget* parent = nullptr, monitor::IConsoleReports* reports = nullptr);
    ~CVARDAPane() override;

    HexEdit* Editor(int id) const;
    bool TimedSending() const { return timer_.isActive(); }
    int TargetAddress() const { return address_; }
    int RetryCount() const { return retryCount_; }

    // The button actions, public for the window tests.
    bool Send();
    void RefreshStatus();
    void ReadIo();
    void WriteIo();
    void SetTimedSending(bool on);

private:
    void OnSlaveChosen(int index);
    void OnTick();
    bool ReadRetryCount();
    bool Prepare();
    // None when skipped because a send is under way.
    std::optional<bool> SendPrepared();
    uint32_t Timeout(int id) const;
    void Message(const std::string& text);

    CSlaveDev* slave_;
    CServerDev* master_;
    int address_ = 0;
    std::unique_ptr<monitor::IConsoleReports> ownReports_;
    monitor::IConsoleReports* reports_;
    monitor::ConsoleSession session_;
    monitor::ExplicitRequest request_;
    int retryCount_ = 3;
    QTimer timer_;
};
