#include "ui/widgets/hex_edit.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>

#include "monitor/hex_bytes.h"
#include "resources/ui_texts.h"

HexEdit::HexEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
}

bool HexEdit::Bytes(std::vector<uint8_t>& bytes, QString& error) const {
    const auto parsed = monitor::ParseHexBytes(toPlainText().toStdString(), capacity_);
    if (!parsed.error.empty()) {
        error = QString::fromStdString(parsed.error);
        bytes.clear();
        return false;
    }
    error.clear();
    bytes = parsed.bytes;
    return true;
}

void HexEdit::SetBytes(std::span<const uint8_t> bytes) {
    if (bytes.size() > capacity_) bytes = bytes.first(capacity_);
    setPlainText(QString::fromStdString(monitor::FormatHexBytes(bytes, perRow_)));
}

void HexEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    if (isReadOnly() || command || text.isEmpty() || !text.at(0).isPrint()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const QChar c = text.at(0);
    const bool hex = c.isDigit() || (c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'));
    if (c == QLatin1Char(' ')) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (!hex) {
        emit inputRejected(QString::fromStdString(
            resources::FormatText(resource_ids::kTextNotHexDigit, QString(c).toUtf8().constData())));
        event->accept();
        return;
    }
    textCursor().insertText(QString(c.toUpper()));
    event->accept();
}

bool HexEdit::canInsertFromMimeData(const QMimeData* source) const { return source->hasText(); }

void HexEdit::insertFromMimeData(const QMimeData* source) {
    if (source->hasText()) PasteText(source->text());
}

bool HexEdit::PasteText(const QString& pasted) {
    const auto parsed = monitor::ParseHexBytes(pasted.toStdString(), capacity_);
    if (!parsed.error.empty()) {
        emit inputRejected(QString::fromStdString(parsed.error));
        return false;
    }
    QString text = QString::fromStdString(monitor::FormatHexBytes(parsed.bytes));
    // Keep pasted bytes apart from the digits around the cursor.
    const QTextCursor cursor = textCursor();
    const QString all = toPlainText();
    const int at = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (at > 0 && !all.at(at - 1).isSpace() && !text.isEmpty()) text.prepend(QLatin1Char(' '));
    if (end < all.size() && !all.at(end).isSpace() && !text.isEmpty()) text.append(QLatin1Char(' '));
    textCursor().insertText(text);
    return true;
}
