// CDlgBitCheck: the bit-field pop-up of the parameter editor (template 20038), 32 boxes, bit k
// in box k. Only the bits the value's caption shows are enabled; the others keep their value.
#pragma once

#include <QPoint>
#include <cstdint>

#include "ui/widgets/template_dialog.h"

class CDlgBitCheck : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kFirstBox = 1100;

    explicit CDlgBitCheck(QPoint screenPosition, QWidget* parent = nullptr);

    // Sets the boxes from (maximum, value); Run shows the pop-up modally and returns Result().
    void Load(uint32_t maximum, uint32_t value);
    uint32_t Run(uint32_t maximum, uint32_t value);
    uint32_t Result() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPoint position_;
    uint32_t maximum_ = 0;
    uint32_t value_ = 0;
};
