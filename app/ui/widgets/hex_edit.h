// HexEdit: a byte editor showing hexadecimal pairs only (no address or character column). Typing
// takes hex digits and blanks, pasting takes hex text with or without blanks (refused whole when
// it is not clean), copying gives the selected text. Holds at most Capacity() bytes.
#pragma once

#include <QPlainTextEdit>
#include <cstdint>
#include <span>
#include <vector>

class HexEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit HexEdit(QWidget* parent = nullptr);

    void SetCapacity(std::size_t bytes) { capacity_ = bytes; }
    std::size_t Capacity() const { return capacity_; }
    void SetBytesPerRow(std::size_t perRow) { perRow_ = perRow; }

    // The bytes of the text; false and `error` set when the text is not clean hex.
    bool Bytes(std::vector<uint8_t>& bytes, QString& error) const;
    void SetBytes(std::span<const uint8_t> bytes);
    // Inserts pasted hex text at the cursor; false (and inputRejected) when it is not clean.
    bool PasteText(const QString& text);

signals:
    // Typed or pasted input that was not taken, with the reason.
    void inputRejected(const QString& reason);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    std::size_t capacity_ = 300;
    std::size_t perRow_ = 0;
};
