#include "ui/frame/property_pane.h"

#include <QAction>
#include <QHeaderView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "services/global.h"
#include "network/property_list.h"

namespace {

// Toolbar 20044: IO配置, 参数配置, 属性配置.
constexpr uint16_t kToolBarCommands[] = {32819, 32820, 32788};

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
    grid_->header()->hide();
    // Captions take what they need; the values get the rest (long ones show whole as tool tips).
    grid_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    grid_->header()->setStretchLastSection(true);
    grid_->header()->setMinimumSectionSize(40);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setTextElideMode(Qt::ElideRight);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setAlternatingRowColors(true);
    grid_->setUniformRowHeights(true);
    layout->addWidget(grid_, 1);

    BuildToolBar();
}

CPanePropertyGrid::~CPanePropertyGrid() = default;

void CPanePropertyGrid::ShowNode(CDeviceBase* node, bool force) {
    if (node == shown_ && !force) return;
    shown_ = node;
    Fill();
}

void CPanePropertyGrid::RetranslateUi() {
    BuildToolBar();
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
            action = new QAction(QString::fromStdString(GetGlobal().LoadText(id)).section(QLatin1Char('\n'), -1),
                                 this);
            action->setObjectName(QString::number(id));
            action->setProperty("placeholder", true);
            action->setEnabled(false);
        }
        toolBar_->addAction(action);
    }
}

void CPanePropertyGrid::Fill() {
    ++fillCount_;
    grid_->setUpdatesEnabled(false);
    grid_->clear();
    for (const PropertyCategory& category : BuildNodeProperties(shown_)) AddCategory(*grid_, nullptr, category);
    grid_->setUpdatesEnabled(true);
}
