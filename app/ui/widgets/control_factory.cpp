#include "ui/widgets/control_factory.h"

#include <QApplication>
#include <QCheckBox>
#include <algorithm>
#include <QComboBox>
#include <QAbstractItemView>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>

#include "ui/widgets/hex_edit.h"

using namespace win32_style;

namespace {

constexpr const char* kPlaceholderProperty = "norvanePlaceholder";

QString Caption(const DLGITEMTEMPLATEINFO& c) { return QString::fromStdString(c.caption); }

QWidget* MakeButton(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    switch (c.style & kBsTypeMask) {
        case kBsCheckBox:
        case kBsAutoCheckBox: return new QCheckBox(Caption(c), parent);
        case kBs3State:
        case kBsAuto3State: {
            auto* box = new QCheckBox(Caption(c), parent);
            box->setTristate(true);
            return box;
        }
        case kBsRadioButton:
        case kBsAutoRadioButton: return new QRadioButton(Caption(c), parent);
        case kBsGroupBox: {
            auto* group = new QGroupBox(Caption(c), parent);
            group->setFocusPolicy(Qt::NoFocus);
            return group;
        }
        default: {
            auto* button = new QPushButton(Caption(c), parent);
            button->setAutoDefault(false);
            if ((c.style & kBsTypeMask) == kBsDefPushButton) button->setDefault(true);
            return button;
        }
    }
}

Qt::Alignment EditAlignment(uint32_t style) {
    if (style & kEsCenter) return Qt::AlignHCenter;
    if (style & kEsRight) return Qt::AlignRight;
    return Qt::AlignLeft;
}

QWidget* MakeEdit(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    if (c.style & kEsMultiline) {
        auto* edit = new QPlainTextEdit(Caption(c), parent);
        edit->setReadOnly((c.style & kEsReadOnly) != 0);
        edit->setTabChangesFocus(true);
        return edit;
    }
    auto* edit = new QLineEdit(Caption(c), parent);
    edit->setReadOnly((c.style & kEsReadOnly) != 0);
    edit->setAlignment(EditAlignment(c.style) | Qt::AlignVCenter);
    if (c.style & kEsPassword) edit->setEchoMode(QLineEdit::Password);
    if (c.style & kEsNumber) {
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QWidget* MakeStatic(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    const uint32_t type = c.style & kSsTypeMask;
    if (type == kSsEtchedHorz || type == kSsEtchedVert || type == kSsEtchedFrame) {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(type == kSsEtchedHorz   ? QFrame::HLine
                             : type == kSsEtchedVert ? QFrame::VLine
                                                     : QFrame::Box);
        frame->setFrameShadow(QFrame::Sunken);
        return frame;
    }
    auto* label = new QLabel(parent);
    if (type == kSsIcon || type == kSsBitmap) {
        // The only image a template names is the program's icon.
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
        label->setPixmap(icon.pixmap(32, 32));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    QString text = Caption(c);
    // SS_NOPREFIX: '&' is shown as it is; otherwise it marks the mnemonic, as in Qt.
    if (c.style & 0x80) text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    label->setText(text);
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment align = Qt::AlignLeft;
    if (type == kSsCenter) align = Qt::AlignHCenter;
    if (type == kSsRight) align = Qt::AlignRight;
    label->setAlignment(align | Qt::AlignTop);
    label->setWordWrap(type == 0 || type == kSsCenter || type == kSsRight);
    return label;
}

// A combo box of a template: its drop-down list is as wide as its longest entry (the box keeps
// the template's width), and the chosen entry shows whole as tool tip.
class TemplateCombo : public QComboBox {
public:
    explicit TemplateCombo(QWidget* parent) : QComboBox(parent) {
        connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) { setToolTip(text); });
    }
    void showPopup() override {
        const int entries = view()->sizeHintForColumn(0) + view()->frameWidth() * 2 +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
        view()->setMinimumWidth(std::max(width(), entries));
        QComboBox::showPopup();
    }
};

QWidget* MakeCombo(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    auto* combo = new TemplateCombo(parent);
    combo->setEditable((c.style & kCbsTypeMask) != kCbsDropDownList);
    if (combo->isEditable()) combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QWidget* MakeListView(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    auto* view = new QTreeWidget(parent);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setColumnCount(1);
    // Report view (LVS_REPORT) shows its header unless LVS_NOCOLUMNHEADER.
    view->setHeaderHidden((c.style & 0x3) != 0x1 || (c.style & 0x4000) != 0);
    view->setSelectionMode((c.style & 0x4) ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    return view;
}

QWidget* MakeReport(const DLGITEMTEMPLATEINFO&, QWidget* parent) {
    auto* table = new QTableWidget(parent);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QWidget* MakePropertyGrid(const DLGITEMTEMPLATEINFO&, QWidget* parent) {
    auto* grid = new QTreeWidget(parent);
    grid->setColumnCount(2);
    grid->setHeaderHidden(true);
    grid->setAlternatingRowColors(true);
    return grid;
}

// The byte editor of the explicit console.
QWidget* MakeHexEdit(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    auto* edit = new HexEdit(parent);
    edit->setReadOnly((c.style & kEsReadOnly) != 0);
    return edit;
}

// A table over an item model, one row selected at a time, cells edited in place.
QWidget* MakeModelTable(const DLGITEMTEMPLATEINFO&, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->setVisible(false);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                          QAbstractItemView::EditKeyPressed);
    return view;
}

QWidget* MakePlaceholder(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(QStringLiteral("[%1] %2").arg(QString::fromStdString(c.className), Caption(c)).trimmed());
    label->setFrameShape(QFrame::Box);
    label->setEnabled(false);
    label->setProperty(kPlaceholderProperty, true);
    return label;
}

QWidget* MakeBuiltin(const DLGITEMTEMPLATEINFO& c, QWidget* parent) {
    const QString cls = QString::fromStdString(c.className).toLower();
    if (cls == "button") return MakeButton(c, parent);
    if (cls == "edit") return MakeEdit(c, parent);
    if (cls == "static") return MakeStatic(c, parent);
    if (cls == "combobox") return MakeCombo(c, parent);
    if (cls == "listbox") return new QListWidget(parent);
    if (cls == "msctls_progress32") {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    if (cls == "msctls_trackbar32") return new QSlider(Qt::Horizontal, parent);
    if (cls == "syslistview32") return MakeListView(c, parent);
    if (cls == "systreeview32") {
        auto* tree = new QTreeWidget(parent);
        tree->setHeaderHidden(true);
        return tree;
    }
    if (cls == QString::fromLatin1(kHexEditClass).toLower()) return MakeHexEdit(c, parent);
    if (cls == QString::fromLatin1(kReportClass).toLower()) return MakeReport(c, parent);
    if (cls == QString::fromLatin1(kPropertyGridClass).toLower()) return MakePropertyGrid(c, parent);
    if (cls == QString::fromLatin1(kModelTableClass).toLower()) return MakeModelTable(c, parent);
    return MakePlaceholder(c, parent);
}

}  // namespace

QWidget* CreateControl(const DLGITEMTEMPLATEINFO& control, QWidget* parent) {
    QWidget* widget = MakeBuiltin(control, parent);
    widget->setObjectName(QString::number(control.id));
    widget->setEnabled(widget->isEnabled() && (control.style & kWsDisabled) == 0);
    widget->setVisible((control.style & kWsVisible) != 0);
    return widget;
}

bool IsPlaceholderControl(const QWidget* widget) { return widget && widget->property(kPlaceholderProperty).toBool(); }
