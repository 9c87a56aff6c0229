#include "ui/frame/dlg_info_setting.h"

#include "services/global.h"

CDlgInfoSetting::CDlgInfoSetting(InfobarSettings& settings, QWidget* parent)
    : TemplateDialog(kTemplateId, parent,
                     {static_cast<uint16_t>(kCheckLogError), static_cast<uint16_t>(kCheckLogWarning),
                      static_cast<uint16_t>(kCheckLogLog), static_cast<uint16_t>(kCheckShowMsg)}),
      settings_(settings) {
    SetChecked(kCheckLogError, settings_.logError != 0);
    SetChecked(kCheckLogWarning, settings_.logWarning != 0);
    SetChecked(kCheckLogLog, settings_.logLog != 0);
    SetChecked(kCheckShowMsg, settings_.showMsg != 0);
}

CDlgInfoSetting::~CDlgInfoSetting() = default;

void CDlgInfoSetting::accept() {
    // A switch whose box the template lacks keeps its value.
    auto store = [this](int id, int32_t& setting) {
        if (HasControl(id)) setting = IsChecked(id) ? 1 : 0;
    };
    store(kCheckLogError, settings_.logError);
    store(kCheckLogWarning, settings_.logWarning);
    store(kCheckLogLog, settings_.logLog);
    store(kCheckShowMsg, settings_.showMsg);
    TemplateDialog::accept();
}
