#include "ui/widgets/template_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTreeWidget>
#include <algorithm>

#include "resources/resource_ids.h"
#include "services/global.h"
#include "ui/widgets/control_factory.h"
#include "ui/widgets/font_mapping.h"
#include "ui/widgets/ui_text.h"

namespace {

constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kLogTemplateFallback = 61606;  // "... %u ... %s ..."

QString FromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Classes whose widget takes input and so takes a preceding static text as its label.
bool IsInputClass(const std::string& className) {
    const QString cls = QString::fromStdString(className).toLower();
    return cls == "edit" || cls == "combobox" || cls == "listbox" || cls == "syslistview32" || cls == "systreeview32" ||
           cls == "msctls_trackbar32" || cls == "msctls_progress32" ||
           cls == QString::fromLatin1(kHexEditClass).toLower() || cls == QString::fromLatin1(kReportClass).toLower() ||
           cls == QString::fromLatin1(kPropertyGridClass).toLower();
}

bool IsStaticText(const DLGITEMTEMPLATEINFO& c) {
    const uint32_t type = c.style & win32_style::kSsTypeMask;
    return QString::fromStdString(c.className).compare(QStringLiteral("static"), Qt::CaseInsensitive) == 0 &&
           !c.HasOrdinalTitle() && type != win32_style::kSsIcon && type != win32_style::kSsBitmap &&
           type < win32_style::kSsEtchedHorz;
}

QString LabelName(const QString& labelText) {
    QString name = labelText;
    name.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    name.remove(QLatin1Char('&'));
    name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return name.trimmed();
}

QString IdList(const std::vector<uint16_t>& ids) {
    QStringList parts;
    for (uint16_t id : ids) parts << QString::number(id);
    return parts.join(QStringLiteral(", "));
}

}  // namespace

TemplateDialog::TemplateDialog(uint32_t templateId, QWidget* parent, std::vector<uint16_t> requiredIds)
    : QDialog(parent), templateId_(templateId) {
    setObjectName(QString::number(templateId));
    std::vector<uint16_t> missing;
    const DialogTemplate* t = LoadCheckedDialogTemplate(templateId, requiredIds, &missing);
    if (!missing.empty()) {
        // One warning line names the dialog and the ids its language template lacked. The text
        // comes from a language file, so it is filled here and never used as a format.
        QString line = LoadText(kLogTemplateFallback);
        if (line.isEmpty()) line = QStringLiteral("%u: %s");
        line.replace(QStringLiteral("%u"), QString::number(templateId)).replace(QStringLiteral("%s"), IdList(missing));
        GetGlobal().LogMessage(name_share::kLevelWarning, "%s", line.toStdString().c_str());
    }
    if (!t) return;
    hasTemplate_ = true;
    Build(*t);
}

TemplateDialog::~TemplateDialog() = default;

void TemplateDialog::Build(const DialogTemplate& dt) {
    // A child template (WS_CHILD) is a part of its parent's window, not a window of its own.
    if ((dt.style & kWsChild) && parentWidget()) setWindowFlags(Qt::Widget);
    setWindowTitle(QString::fromStdString(dt.caption));
    setFont(DialogFont(dt.fontFace, dt.fontSize));
    // Dialog base units of the font: the average width of the Latin letters and the height.
    const QFontMetrics metrics(font());
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseUnitX_ = std::max(1, (letters / 26 + 1) / 2);
    baseUnitY_ = std::max(1, metrics.height());

    int right = DialogUnitsToPixelsX(dt.cx);
    int bottom = DialogUnitsToPixelsY(dt.cy);
    QButtonGroup* radioGroup = nullptr;
    QLabel* pendingLabel = nullptr;  // a static text waiting for the control after it
    for (const DLGITEMTEMPLATEINFO& c : dt.controls) {
        QWidget* w = CreateControl(c, this);
        QRect r(DialogUnitsToPixelsX(c.x), DialogUnitsToPixelsY(c.y), DialogUnitsToPixelsX(c.cx),
                DialogUnitsToPixelsY(c.cy));
        // A combo box's height in a template includes its drop-down list.
        if (auto* combo = qobject_cast<QComboBox*>(w)) r.setHeight(combo->sizeHint().height());
        w->setGeometry(r);
        right = std::max(right, r.right() + 1);
        bottom = std::max(bottom, r.bottom() + 1);

        // Radio buttons are exclusive within their group (from one WS_GROUP control to the next).
        if (c.style & kWsGroup) radioGroup = nullptr;
        if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            if (!radioGroup) {
                radioGroup = new QButtonGroup(this);
                radioGroup->setExclusive(true);
            }
            radio->setAutoExclusive(false);
            radioGroup->addButton(radio);
        }

        if (pendingLabel && IsInputClass(c.className)) {
            pendingLabel->setBuddy(w);
            w->setAccessibleName(LabelName(pendingLabel->text()));
        }
        pendingLabel = IsStaticText(c) ? qobject_cast<QLabel*>(w) : nullptr;

        if (auto* button = qobject_cast<QPushButton*>(w)) {
            if (c.id == resource_ids::kIdOk) connect(button, &QPushButton::clicked, this, &QDialog::accept);
            if (c.id == resource_ids::kIdCancel) connect(button, &QPushButton::clicked, this, &QDialog::reject);
        }
        if (!controls_.contains(c.id)) controls_.insert(c.id, w);
    }
    // The dialog holds every control even when the template's size is too small for them.
    const int margin = DialogUnitsToPixelsX(4);
    if (right > DialogUnitsToPixelsX(dt.cx)) right += margin;
    if (bottom > DialogUnitsToPixelsY(dt.cy)) bottom += margin;
    setFixedSize(std::max(right, 1), std::max(bottom, 1));
}

int TemplateDialog::DialogUnitsToPixelsX(int du) const { return (du * baseUnitX_ + 2) / 4; }
int TemplateDialog::DialogUnitsToPixelsY(int du) const { return (du * baseUnitY_ + 4) / 8; }

void TemplateDialog::WidenAt(int x, int extra) {
    if (extra == 0) return;
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;
        QRect r = w->geometry();
        if (r.left() >= x) {
            r.translate(extra, 0);
        } else if (r.right() >= x) {
            r.setWidth(r.width() + extra);
        } else {
            continue;
        }
        w->setGeometry(r);
    }
    setFixedWidth(width() + extra);
}

QWidget* TemplateDialog::Control(int id) const { return controls_.value(id).data(); }

// ---- IDialogControls ----

bool TemplateDialog::HasControl(int id) const { return Control(id) != nullptr; }

std::string TemplateDialog::GetText(int id) const {
    QWidget* w = Control(id);
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) text = p->toPlainText();
    else if (auto* c = qobject_cast<QComboBox*>(w)) text = c->currentText();
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    else if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
    else if (auto* bar = qobject_cast<QProgressBar*>(w)) text = QString::number(bar->value());
    else if (auto* s = qobject_cast<QSlider*>(w)) text = QString::number(s->value());
    return text.toStdString();
}

void TemplateDialog::SetText(int id, std::string_view utf8) {
    QWidget* w = Control(id);
    const QString text = FromUtf8(utf8);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) p->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable()) c->setEditText(text);
        else c->setCurrentIndex(c->findText(text));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(text);
        if (QWidget* buddy = l->buddy()) buddy->setAccessibleName(LabelName(text));
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
    else if (auto* bar = qobject_cast<QProgressBar*>(w)) bar->setValue(text.toInt());
    else if (auto* s = qobject_cast<QSlider*>(w)) s->setValue(text.toInt());
}

bool TemplateDialog::IsChecked(int id) const {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) return b->isCheckable() && b->isChecked();
    if (auto* g = qobject_cast<QGroupBox*>(Control(id))) return g->isCheckable() && g->isChecked();
    return false;
}

void TemplateDialog::SetChecked(int id, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(id)); b && b->isCheckable()) b->setChecked(checked);
}

bool TemplateDialog::IsEnabled(int id) const {
    QWidget* w = Control(id);
    return w && w->isEnabled();
}

void TemplateDialog::SetEnabled(int id, bool enabled) {
    if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

bool TemplateDialog::IsShown(int id) const {
    QWidget* w = Control(id);
    return w && !w->isHidden();
}

void TemplateDialog::SetShown(int id, bool shown) {
    if (QWidget* w = Control(id)) w->setVisible(shown);
}

std::vector<std::string> TemplateDialog::Items(int id) const {
    std::vector<std::string> items;
    QWidget* w = Control(id);
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < c->count(); ++i) items.push_back(c->itemText(i).toStdString());
    } else if (auto* l = qobject_cast<QListWidget*>(w)) {
        for (int i = 0; i < l->count(); ++i) items.push_back(l->item(i)->text().toStdString());
    } else if (auto* t = qobject_cast<QTreeWidget*>(w)) {
        for (int i = 0; i < t->topLevelItemCount(); ++i) items.push_back(t->topLevelItem(i)->text(0).toStdString());
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        for (int i = 0; i < table->rowCount(); ++i) {
            QTableWidgetItem* cell = table->item(i, 0);
            items.push_back(cell ? cell->text().toStdString() : std::string());
        }
    }
    return items;
}

void TemplateDialog::SetItems(int id, const std::vector<std::string>& items) {
    QWidget* w = Control(id);
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        c->clear();
        for (const std::string& item : items) c->addItem(QString::fromStdString(item));
    } else if (auto* l = qobject_cast<QListWidget*>(w)) {
        l->clear();
        for (const std::string& item : items) l->addItem(QString::fromStdString(item));
    } else if (auto* t = qobject_cast<QTreeWidget*>(w)) {
        t->clear();
        for (const std::string& item : items)
            t->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(item)}));
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        table->clearContents();
        table->setColumnCount(std::max(table->columnCount(), 1));
        table->setRowCount(static_cast<int>(items.size()));
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            table->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(items[static_cast<size_t>(i)])));
        }
    }
}

int TemplateDialog::CurrentIndex(int id) const {
    QWidget* w = Control(id);
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentIndex();
    if (auto* l = qobject_cast<QListWidget*>(w)) return l->currentRow();
    if (auto* t = qobject_cast<QTreeWidget*>(w))
        return t->currentItem() ? t->indexOfTopLevelItem(t->currentItem()) : -1;
    if (auto* table = qobject_cast<QTableWidget*>(w)) return table->currentRow();
    return -1;
}

void TemplateDialog::SetCurrentIndex(int id, int index) {
    QWidget* w = Control(id);
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    } else if (auto* l = qobject_cast<QListWidget*>(w)) {
        l->setCurrentRow(index >= 0 && index < l->count() ? index : -1);
    } else if (auto* t = qobject_cast<QTreeWidget*>(w)) {
        t->setCurrentItem(index >= 0 ? t->topLevelItem(index) : nullptr);
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        if (index >= 0 && index < table->rowCount()) {
            table->setCurrentCell(index, 0);
            table->selectRow(index);
        } else {
            table->setCurrentItem(nullptr);
            table->clearSelection();
        }
    }
}
