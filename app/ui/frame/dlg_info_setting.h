// CDlgInfoSetting: dialog 20020 "信息栏设置" with one check box per information-log switch
// (记录错误信息, 记录警告信息, 记录日志信息, 显示弹出消息). OK writes the four switches; Cancel
// changes nothing.
#pragma once

#include <cstdint>

#include "ui/widgets/template_dialog.h"

struct InfobarSettings;

class CDlgInfoSetting : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = 20020;
    // Control ids of the check boxes in the template, in the order of the switches.
    static constexpr int kCheckLogError = 1;
    static constexpr int kCheckLogWarning = 2;
    static constexpr int kCheckLogLog = 3;
    static constexpr int kCheckShowMsg = 4;

    // Works on `settings` (not owned): the boxes take its values, OK writes them back.
    explicit CDlgInfoSetting(InfobarSettings& settings, QWidget* parent = nullptr);
    ~CDlgInfoSetting() override;

    void accept() override;

private:
    InfobarSettings& settings_;
};
