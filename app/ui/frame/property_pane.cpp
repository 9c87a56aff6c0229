#include "ui/frame/property_pane.h"

#include <QAction>
#include <QHeaderView>
#include <QResizeEvent>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "services/global.h"
#include "ui/widgets/ui_text.h"
#include "network/property_list.h"

namespace {

constexpr uint32_t kTextNameColumn = 61472;  // "名称"

// Toolbar 20044: IO配置, 参数配置, 属性配置.
constexpr uint16_t kToolBarCommands[] = {resource_ids::kCommandIoConfig, resource_ids::kCommandParameters,
                                         resource_ids::kCommandProperties};

void AddCategory(QTreeWidget& grid, QTreeWidgetItem* parent, const PropertyCategory& category) {
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&grid);
    item->setText(0, QString::fromStdString(category.caption));
    item->setFirstColumnSpanned(true);
    QFont bold = item->font(0);
    bold.setBold(true);
    item->setFont(0, bold);
    item->setFlags(Qt::ItemIsEnabled);
    for (const PropertyItem& property : category.items) {
        auto* row = new QTreeWidgetItem(item);
        row->setText(0, QString::fromStdString(property.caption));
        row->setText(1, QString::fromStdString(property.value));
        row->setData(1, CPanePropertyGrid::kNumberRole, property.isNumber);
        row->setToolTip(0, row->text(0));
        row->setToolTip(1, row->text(1));
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);  // read-only
    }
    for (const PropertyCategory& child : category.children) AddCategory(grid, item, child);
    item->setExpanded(true);
}

}  // namespace

CPanePropertyGrid::CPanePropertyGrid(std::function<QAction*(uint16_t)> actionFor, QWidget* parent)
    : QWidget(parent), actionFor_(std::move(actionFor)) {
    setObjectName(QString::number(kControlId));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QString::number(kToolBarId));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar_->setIconSize(QSize(16, 16));
    layout->addWidget(toolBar_);

    grid_ = new QTreeWidget(this);
    grid_->setObjectName(QString::number(kGridId));
    grid_->setColumnCount(2);
    // The name column fits its captions at first and can be dragged wider or narrower; the
    // values get the rest, cut in the middle (a file's name and its end stay readable), and
    // show whole as tool tips.
    grid_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    grid_->header()->setStretchLastSection(true);
    grid_->header()->setMinimumSectionSize(40);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setTextElideMode(Qt::ElideMiddle);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setAlternatingRowColors(true);
    grid_->setUniformRowHeights(true);
    grid_->setIndentation(12);
    connect(grid_->header(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section == 0 && !fittingColumn_) nameColumnDragged_ = true;
    });
    layout->addWidget(grid_, 1);

    BuildToolBar();
    SetHeaderTexts();
}

CPanePropertyGrid::~CPanePropertyGrid() = default;

void CPanePropertyGrid::SetHeaderTexts() {
    grid_->setHeaderLabels({LoadText(kTextNameColumn), LoadText(resource_ids::kTextValueColumn)});
}

void CPanePropertyGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitToolBar();
    if (!nameColumnDragged_) FitNameColumn();
}

void CPanePropertyGrid::FitNameColumn() {
    // As wide as the longest caption (with its indentation), but at most 60 % of the pane while
    // the pane has a width; the user may drag it, after which it stays where it was put.
    fittingColumn_ = true;
    grid_->resizeColumnToContents(0);
    fittingColumn_ = false;
    const int contents = std::max(grid_->columnWidth(0), grid_->header()->sectionSizeHint(0));
    const int room = grid_->viewport()->width();
    const int width = room > 0 ? std::min(contents, room * 3 / 5) : contents;
    fittingColumn_ = true;
    grid_->setColumnWidth(0, std::max(width, grid_->header()->minimumSectionSize()));
    fittingColumn_ = false;
}

int CPanePropertyGrid::WidthForCaptions() const { return ToolBarWidth(Qt::ToolButtonTextBesideIcon); }

int CPanePropertyGrid::ToolBarWidth(Qt::ToolButtonStyle style) const {
    const Qt::ToolButtonStyle shown = toolBar_->toolButtonStyle();
    toolBar_->setToolButtonStyle(style);
    int wanted = 0;
    for (QAction* action : toolBar_->actions()) {
        if (QWidget* button = toolBar_->widgetForAction(action)) wanted += button->sizeHint().width();
    }
    toolBar_->setToolButtonStyle(shown);
    const QMargins margins = toolBar_->contentsMargins();
    const QMargins own = contentsMargins();
    // the handle and the spacing between the buttons
    return wanted + margins.left() + margins.right() + own.left() + own.right() + 16;
}

void CPanePropertyGrid::FitToolBar() {
    // Captions beside the icons while the three commands fit, else below them; icons only
    // (captions as tool tips) when the pane is narrower still.
    Qt::ToolButtonStyle style = Qt::ToolButtonIconOnly;
    for (Qt::ToolButtonStyle fitting : {Qt::ToolButtonTextBesideIcon, Qt::ToolButtonTextUnderIcon}) {
        if (ToolBarWidth(fitting) <= width()) {
            style = fitting;
            break;
        }
    }
    toolBar_->setToolButtonStyle(style);
}

void CPanePropertyGrid::ShowNode(CDeviceBase* node, bool force) {
    if (node == shown_ && !force) return;
    shown_ = node;
    Fill();
}

void CPanePropertyGrid::RetranslateUi() {
    BuildToolBar();
    SetHeaderTexts();
    ShowNode(shown_, true);
}

void CPanePropertyGrid::BuildToolBar() {
    toolBar_->clear();
    for (QAction* old : findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (old->property("placeholder").toBool()) delete old;
    }
    for (uint16_t id : kToolBarCommands) {
        QAction* action = actionFor_ ? actionFor_(id) : nullptr;
        if (action == nullptr) {
            // No command behind it yet: a disabled button with the command's caption.
            action = new QAction(QString::fromStdString(GetGlobal().LoadText(id)).section(QLatin1Char('\n'), -1), this);
            action->setObjectName(QString::number(id));
            action->setProperty("placeholder", true);
            action->setEnabled(false);
        }
        toolBar_->addAction(action);
    }
    FitToolBar();
}

void CPanePropertyGrid::Fill() {
    ++fillCount_;
    grid_->setUpdatesEnabled(false);
    grid_->clear();
    for (const PropertyCategory& category : BuildNodeProperties(shown_)) AddCategory(*grid_, nullptr, category);
    if (!nameColumnDragged_) FitNameColumn();
    grid_->setUpdatesEnabled(true);
}
