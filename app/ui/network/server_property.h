// CServerProperty: the master dialog (template 20019, "网络配置"). Creates a master (new mode) or
// edits the selected one (edit mode); the rules live in ServerPropertyRules.
#pragma once

#include <memory>

#include "network/server_property_rules.h"
#include "ui/widgets/template_dialog.h"
#include "resources/resource_ids.h"

class CDeviceBase;
class CServerDev;

class CServerProperty : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = resource_ids::kMasterDialog;
    static constexpr int kOkButton = 3300;

    // `mode`: ServerPropertyRules::kNew or kEdit (of the master of `selected`, the node selected
    // in the network tree).
    CServerProperty(int mode, CDeviceBase* selected, QWidget* parent = nullptr);
    ~CServerProperty() override;

    // The master created or edited, after OK.
    CServerDev* ResultMaster() const { return rules_->ResultMaster(); }
    ServerPropertyRules& Rules() { return *rules_; }

private:
    void OnOk();
    void ShowText(std::string_view text);

    std::unique_ptr<ServerPropertyRules> rules_;
};
