#include "ui/monitor/bit_check_dlg.h"

#include <QMouseEvent>

#include "monitor/param_value_rules.h"
#include "resources/resource_ids.h"

CDlgBitCheck::CDlgBitCheck(QPoint screenPosition, QWidget* parent)
    : TemplateDialog(resource_ids::kBitCheckDialog, parent), position_(screenPosition) {
    // The window type is replaced, not combined: Dialog | Popup would make a tool window, which
    // never sees the clicks outside it.
    setWindowFlags(Qt::Popup);
}

void CDlgBitCheck::Load(uint32_t maximum, uint32_t value) {
    maximum_ = maximum;
    value_ = value;
    const int enabled = monitor::BitCheckEnabledBoxes(maximum);
    for (int k = 0; k < 32; ++k) {
        SetChecked(kFirstBox + k, ((value >> k) & 1U) != 0);
        SetEnabled(kFirstBox + k, k < enabled);
    }
}

uint32_t CDlgBitCheck::Run(uint32_t maximum, uint32_t value) {
    Load(maximum, value);
    move(position_);
    raise();
    exec();
    return Result();
}

uint32_t CDlgBitCheck::Result() const {
    uint32_t boxes = 0;
    for (int k = 0; k < 32; ++k)
        if (IsChecked(kFirstBox + k)) boxes |= uint32_t{1} << k;
    return monitor::BitCheckResult(maximum_, value_, boxes);
}

void CDlgBitCheck::mousePressEvent(QMouseEvent* event) {
    // A click outside the pop-up closes it; inside, the boxes take their own clicks.
    if (!rect().contains(event->position().toPoint())) {
        accept();
        return;
    }
    TemplateDialog::mousePressEvent(event);
}
