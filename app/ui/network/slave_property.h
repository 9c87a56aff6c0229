// CSlaveProperty: the slave dialog (template 17003, "添加从站"). Adds one slave or a batch to a
// master, or edits a slave ("从站属性对话框"); the rules live in SlavePropertyRules.
#pragma once

#include <memory>
#include <string>

#include "network/slave_property_rules.h"
#include "ui/widgets/template_dialog.h"
#include "resources/resource_ids.h"

class CServerDev;
class CSlaveDev;

class CSlaveProperty : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = resource_ids::kSlaveDialog;

    // Add mode: a slave for `master` described by EDS name `edsName`.
    CSlaveProperty(CServerDev* master, const std::string& edsName, QWidget* parent = nullptr);
    // Edit mode.
    explicit CSlaveProperty(CSlaveDev* slave, QWidget* parent = nullptr);
    ~CSlaveProperty() override;

    // False when the dialog ended at opening (no free address): do not show it.
    bool Opened() const { return opened_; }
    // exec() when opened, else Rejected.
    int Run();

    // The first slave added, or the slave edited, after OK.
    CSlaveDev* ResultSlave() const { return rules_->ResultSlave(); }
    SlavePropertyRules& Rules() { return *rules_; }

    void accept() override;
    // The EDS list and the connections' entry lists size to their entries as they are filled.
    void SetItems(int id, const std::vector<std::string>& items) override;

private:
    void Bind();
    void FitLists();
    void ShowText(std::string_view text);
    std::optional<std::string> PickEdsFile();
    SlavePropertyRules::Context MakeContext();

    std::unique_ptr<SlavePropertyRules> rules_;
    bool opened_ = false;
    int templateListWidth_[3] = {0, 0, 0};  // EDS, input and output lists, as the template made them
};
