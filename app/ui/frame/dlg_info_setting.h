// CDlgInfoSetting: dialog 20020 "信息栏设置" with one check box per information-log switch
// (记录错误信息, 记录警告信息, 记录日志信息, 显示弹出消息). OK writes the four switches; Cancel
// changes nothing.
#pragma once

#include <cstdint>

#include "resources/resource_ids.h"
#include "ui/widgets/template_dialog.h"

struct InfobarSettings;

class CDlgInfoSetting : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = resource_ids::kInfoSettingDialog;
    // Control ids of the check boxes in the template, in the order of the switches.
    static constexpr int kCheckLogError = resource_ids::kCheckLogError;
    static constexpr int kCheckLogWarning = resource_ids::kCheckLogWarning;
    static constexpr int kCheckLogLog = resource_ids::kCheckLogLog;
    static constexpr int kCheckShowMsg = resource_ids::kCheckShowMsg;

    // Works on `settings` (not owned): the boxes take its values, OK writes them back.
    explicit CDlgInfoSetting(InfobarSettings& settings, QWidget* parent = nullptr);
    ~CDlgInfoSetting() override;

    void accept() override;

private:
    InfobarSettings& settings_;
};
