#include "monitor/data_pane_layout.h"

namespace monitor {

DataPaneLayout::DataPaneLayout(int boxWidth, int boxHeight, int size)
    : w_(boxWidth), h_(boxHeight), size_(size < 0 ? 0 : size) {}

int DataPaneLayout::BoxRows() const { return (size_ + kPerRow - 1) / kPerRow; }

PaneRect DataPaneLayout::Box(int index) const { return {ColumnX(index % kPerRow), RowY(index / kPerRow), w_, h_}; }

PaneRect DataPaneLayout::ActionButton() const { return {0, RowY(BoxRows()), w_, h_}; }

PaneRect DataPaneLayout::FormatRadio(int format) const { return {ColumnX(format + 1), RowY(BoxRows()), w_, h_}; }

PaneRect DataPaneLayout::TimedCheck() const { return {0, RowY(BoxRows() + 1), w_ + 20, h_}; }

PaneRect DataPaneLayout::PeriodBox() const { return {ColumnX(1) + 20, RowY(BoxRows() + 1), w_ - 20, h_}; }

PaneRect DataPaneLayout::ModeRadio(int mode) const { return {ColumnX(mode + 2), RowY(BoxRows() + 1), w_, h_}; }

int DataPaneLayout::PaneWidth() const { return 4 * w_ + 12; }

int DataPaneLayout::PaneHeight() const { return (h_ + kGap) * (BoxRows() + 2); }

}  // namespace monitor
