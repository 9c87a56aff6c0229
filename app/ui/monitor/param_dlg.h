// CParamDlg: the parameter editor of one slave or, without a slave, of an EDS description
// (template 20037). A four-column table of the description's parameters, edited in place,
// filtered by group, reset to the EDS defaults or the last transferred values, and transferred
// to and from the slave singly or all at once on the workers of its session
// (monitor/param_session.h). After an upload, "Compare" marks the rows whose device value
// differs from the network file's, showing both. The value rules are monitor/param_value_rules.h; the table holds
// raw values and shows them scaled.
#pragma once

#include <QStandardItemModel>
#include <QTimer>
#include <memory>

#include "eds/eds_file.h"
#include "ui/widgets/template_dialog.h"
#include "ui/widgets/ui_poster.h"
#include "resources/resource_ids.h"

namespace monitor {
class ParamSession;
}

class CSlaveDev;
class QTableView;

class CParamDlg : public TemplateDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        kGroupList = 1001,
        kTable = 1002,
        kHelpText = 1003,
        kDefaultText = 1004,
        kUpload = 1005,
        kDownload = 1006,
        kDefaults = 1007,
        kReset = 1008,
        kCompare = 1009,  // optional: older language templates lack it
    };
    enum Command : uint16_t {
        kRestore = resource_ids::kCommandParamRestore,
        kDefault = resource_ids::kCommandParamDefault,
        kDownloadOne = resource_ids::kCommandParamDownloadOne,
        kUploadOne = resource_ids::kCommandParamUploadOne
    };
    static constexpr int kRawRole = Qt::UserRole + 1;  // column 3: the raw value (double)
    static constexpr int kNumberRole = Qt::UserRole + 2;  // column 0: the parameter number
    static constexpr int kDiffersRole = Qt::UserRole + 3;  // column 3: marked by the last compare

    // With a slave: works on the slave's EDS description, takes its master for the editor's time.
    explicit CParamDlg(CSlaveDev& slave, QWidget* parent = nullptr);
    // Without a slave (the add-slave dialog): shows and edits rows of `description`; nothing is
    // transferred and the transfer buttons stay disabled.
    explicit CParamDlg(const CEDSFile& description, QWidget* parent = nullptr);
    ~CParamDlg() override;

    QTableView* Table() const;
    QStandardItemModel& Model() { return model_; }
    const DeviceNetEDS::CParamsInfo& WorkingCopy() const { return working_; }
    bool HasSlave() const { return slave_ != nullptr; }
    int RowOf(int32_t number) const;
    // The raw value a row holds, and its caption.
    double RowValue(int32_t number) const;
    QString RowCaption(int32_t number) const;
    // Sets a row from typed text as the in-place editor does; false when refused (message shown).
    bool EditRow(int32_t number, const QString& text);
    void SetRowValue(int32_t number, double raw);

    // Actions of the buttons and the context menu, public for the window tests.
    void SelectGroup(int index);
    // Sorts by the number (column 0) or the name (column 2); rows keep their parameters.
    void SortRows(int column, Qt::SortOrder order);
    void ShowRowTexts(int32_t number);
    bool IsCommandEnabled(uint16_t command, int32_t number) const;
    void RunCommand(uint16_t command, int32_t number);
    void DefaultSettings();
    void ResetRows();
    void StartUpload();
    void StartDownload();
    // Marks the rows whose uploaded device value differs from the network file's; returns how
    // many, or -1 when nothing has been uploaded yet (a message says so).
    int CompareWithFile();
    bool RowDiffers(int32_t number) const;
    bool TransferRunning() const { return uploadPending_ || downloadPending_; }
    // The master is held and the editor is not closing: transfers may start.
    bool CanTransfer() const;
    // The result of attaching the master when the editor opened (0: attached).
    uint32_t AttachResult() const;
    // Runs the bit-check pop-up for a bit-field row at the cell.
    void EditBits(int32_t number);

    void done(int result) override;

signals:
    void uploadFinished();
    void downloadFinished();

private:
    void Init();
    void BuildRows(const DeviceNetEDS::CParamsInfo& set);
    void CopyRowsBack();
    void RefreshCaption(int row);
    void OnTick();
    void ShowContextMenu(const QPoint& pos);
    bool Ask(uint32_t textId);
    void OnUploaded(DeviceNetEDS::CParamsInfo result);
    void OnDownloaded();
    void CloseSession();
    void ReportAttachFailure();
    void Finish();
    const DeviceNetEDS::ParamEntry& EdsEntry(int32_t number) const;
    const std::vector<std::string>& EnumTexts(int32_t number) const;

    CSlaveDev* slave_ = nullptr;
    CEDSFile description_;
    DeviceNetEDS::CParamsInfo working_;
    QStandardItemModel model_;
    std::vector<int32_t> groupNumbers_;  // group list entry i (> 0) carries group groupNumbers_[i - 1]
    int groupIndex_ = 0;
    int ticks_ = 0;
    QTimer openTimer_;
    bool finished_ = false;
    bool uploadPending_ = false;  // an upload runs or its result has not arrived yet
    bool downloadPending_ = false;
    UiPoster poster_{this};
    std::unique_ptr<monitor::ParamSession> session_;  // with a slave: the master held for the editor
    friend class ParamValueDelegate;
};

// Opens the parameter editor modally for an EDS description without a slave (the slave
// dialog's "参数配置…" button when a new slave is being added).
int RunParamEditor(const CEDSFile& description, QWidget* parent);
