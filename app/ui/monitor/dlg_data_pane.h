// CDlgDataPane: one I/O buffer of a slave in its data panel (template 20041). An input pane
// reads the slave's produced data, an output pane writes the data the slave consumes, once or
// on a timer, one CEditEx box per byte. The strobe-output pane sets the strobe flag instead; a
// change-of-state or cyclic output pane beside an enabled poll connection only shows a note.
#pragma once

#include <QList>
#include <cstdint>
#include <memory>

#include "monitor/pane_io.h"
#include "ui/widgets/template_dialog.h"
#include "resources/resource_ids.h"

class CEditEx;
class CSlaveDev;
class QTimer;

class CDlgDataPane : public TemplateDialog {
    Q_OBJECT
public:
    // Control ids of template 20041.
    enum ControlId : int {
        kIdAction = 1000,
        kIdBinary = 1001,
        kIdDecimal = 1002,
        kIdHexadecimal = 1003,
        kIdTimed = 1004,
        kIdPeriod = 1005,
        kIdMs = 1006,
        kIdCustom = 1007,
        kIdIncrement = 1008,
        kIdNoStrobe = 1009,
        kIdStrobe = 1010,
        kIdStrobeSet = 1011,
        kIdNote = 1012,
        kFirstBoxId = 50000,
    };
    static constexpr uint32_t kTemplateId = resource_ids::kDataPaneDialog;

    // A pane of connection `type` (0..3) and `direction` (1 input, 0 output) of `slave` (not
    // owned) with `size` bytes.
    CDlgDataPane(int type, int direction, int size, CSlaveDev& slave, QWidget* parent);
    ~CDlgDataPane() override;

    // Width of an input or output pane in the current language (the wider of the two).
    static int DataPaneWidth();

    int Type() const { return type_; }
    int Direction() const { return direction_; }
    int Size() const { return size_; }
    int DisplayFormat() const { return format_; }
    int WriteMode() const { return writeMode_; }
    bool IsNoteOnly() const { return noteOnly_; }
    const QList<CEditEx*>& Boxes() const { return boxes_; }
    // The timer of timed reading or writing: running, and its period in ms.
    bool IsTimed() const;
    int TimerPeriod() const;

    // Reads (input) or writes (output) once, as the action button does; `fromTimer` skips the
    // "从站未连接" box when the slave is off line.
    void RunAction(bool fromTimer);

private:
    void InitStrobePane();
    void InitNotePane();
    void InitDataPane();
    void Place(int id, int x, int y, int width, int height);
    void OnFormat(int format);
    void OnMode(int mode);
    void OnTimed(bool checked);
    void OnStrobeSet();
    bool SlaveAlive();
    void ShowOffline();
    monitor::PaneIo::Outcome Read(monitor::PaneIo& io);
    monitor::PaneIo::Outcome Write(monitor::PaneIo& io);

    const int type_;
    const int direction_;
    const int size_;
    CSlaveDev* slave_;
    bool noteOnly_ = false;
    int format_ = 2;  // hexadecimal
    int writeMode_ = 0;  // custom data
    int strobe_ = 0;  // not strobed
    QList<CEditEx*> boxes_;  // children of the pane, deleted with it
    QTimer* timer_ = nullptr;
    std::shared_ptr<monitor::PaneIo> io_;  // shared with a running action, which may outlive the pane
};
