// CEditEx: the box of one I/O byte in a data pane. It shows its value in the pane's format and
// takes only typed characters that keep the value a byte (letters turned upper case); pasted
// text that is not a byte in the box's format is refused and the box keeps its text.
#pragma once

#include <QLineEdit>
#include <cstdint>

class CEditEx : public QLineEdit {
    Q_OBJECT
public:
    CEditEx(int format, QWidget* parent);

    int Format() const { return format_; }
    // Converts the shown value to `format`.
    void SetFormat(int format);
    // The value of the text, 8 bits kept (text without a value counts as 0).
    uint8_t Value() const;
    void SetValue(uint8_t value);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int format_;
};
