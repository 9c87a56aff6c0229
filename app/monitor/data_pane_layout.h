// Geometry of a data pane from the size w x h of one byte box: four boxes to a row with 3-pixel
// gaps from the top-left corner, then the row of the action button and the format radios, then
// the row of the timed check box, the period box and the mode radios.
#pragma once

namespace monitor {

struct PaneRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const PaneRect&, const PaneRect&) = default;
};

class DataPaneLayout {
public:
    static constexpr int kGap = 3;
    static constexpr int kPerRow = 4;
    // The fixed size of a strobe-output pane and of a note-only pane.
    static constexpr int kSmallWidth = 200;
    static constexpr int kSmallHeight = 30;

    DataPaneLayout(int boxWidth, int boxHeight, int size);

    int BoxRows() const;  // size / 4 rounded up
    PaneRect Box(int index) const;  // byte box `index`
    PaneRect ActionButton() const;
    PaneRect FormatRadio(int format) const;  // 0 binary, 1 decimal, 2 hexadecimal
    PaneRect TimedCheck() const;
    PaneRect PeriodBox() const;
    PaneRect ModeRadio(int mode) const;  // 0 custom data, 1 increment
    int PaneWidth() const;  // 4w + 12
    int PaneHeight() const;  // (h + 3) * (rows + 2)

private:
    int RowY(int row) const { return row * (h_ + kGap); }
    int ColumnX(int column) const { return column * (w_ + kGap); }

    int w_;
    int h_;
    int size_;
};

}  // namespace monitor
