#include "ui/monitor/edit_ex.h"

#include <QKeyEvent>
#include <QValidator>

#include "monitor/byte_format.h"

namespace {

// Refuses every edit (pasting, dropping) whose resulting text is not a byte of the box's format.
class ByteValidator : public QValidator {
public:
    ByteValidator(const CEditEx& box, QObject* parent) : QValidator(parent), box_(box) {}
    State validate(QString& input, int& /*pos*/) const override {
        return monitor::IsAcceptableText(input.toStdString(), box_.Format()) ? Acceptable : Invalid;
    }

private:
    const CEditEx& box_;
};

}  // namespace

CEditEx::CEditEx(int format, QWidget* parent) : QLineEdit(parent), format_(format) {
    setValidator(new ByteValidator(*this, this));
    SetValue(0);
}

void CEditEx::SetFormat(int format) {
    if (format == format_) return;
    const std::string text = monitor::ConvertText(this->text().toStdString(), format_, format);
    format_ = format;
    setText(QString::fromStdString(text));
}

uint8_t CEditEx::Value() const {
    return static_cast<uint8_t>(monitor::ParseByteText(text().toStdString(), format_).value_or(0) & 0xFFu);
}

void CEditEx::SetValue(uint8_t value) { setText(QString::fromStdString(monitor::FormatByte(value, format_))); }

void CEditEx::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    // Shortcuts (copy, paste, select all) and keys without a character go their usual way.
    if (typed.size() != 1 || typed[0].unicode() > 0x7F ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) {
        if (typed.size() == 1 && typed[0].unicode() > 0x7F) return;  // not a letter or digit of any format
        QLineEdit::keyPressEvent(event);
        return;
    }
    const char c = static_cast<char>(typed[0].unicode());
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        QLineEdit::keyPressEvent(event);  // backspace, enter and the like
        return;
    }
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int length = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
    const std::optional<char> accepted = monitor::FilterTypedChar(text().toStdString(), static_cast<std::size_t>(start),
                                                                  static_cast<std::size_t>(length), c, format_);
    if (!accepted) return;
    insert(QString(QChar(*accepted)));
}
