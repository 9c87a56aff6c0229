#include "ui/monitor/dlg_data_pane.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "monitor/data_pane_io.h"
#include "monitor/data_pane_layout.h"
#include "monitor/slave_panel_groups.h"
#include "monitor/pane_io.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "services/timer_periods.h"
#include "ui/monitor/edit_ex.h"
#include "ui/widgets/ui_text.h"

namespace {

constexpr uint32_t kTextRead = 10035;
constexpr uint32_t kTextWrite = 10037;
constexpr uint32_t kTextTimedRead = 61503;
constexpr uint32_t kTextTimedWrite = 61504;
constexpr uint32_t kTextBinary = 61477;  // 61478 decimal, 61479 hexadecimal follow
constexpr uint32_t kTextOffline = 61480;
constexpr uint32_t kTextCustom = 61509;
constexpr uint32_t kTextIncrement = 61510;
constexpr uint32_t kTextNoStrobe = 61511;
constexpr uint32_t kTextStrobe = 61512;
constexpr uint32_t kTextStrobeSet = 61513;
constexpr uint32_t kTextNote = 61514;

std::vector<uint16_t> RequiredIds() {
    return {CDlgDataPane::kIdAction,      CDlgDataPane::kIdBinary,    CDlgDataPane::kIdDecimal,
            CDlgDataPane::kIdHexadecimal, CDlgDataPane::kIdTimed,     CDlgDataPane::kIdPeriod,
            CDlgDataPane::kIdCustom,      CDlgDataPane::kIdIncrement, CDlgDataPane::kIdNoStrobe,
            CDlgDataPane::kIdStrobe,      CDlgDataPane::kIdStrobeSet, CDlgDataPane::kIdNote};
}

// Gives the controls of a data pane their captions in the current language and returns the
// layout of its rows. The template's period box gives the box size; the columns widen when a
// language's texts of the action button, the radios or the check box would not fit in them.
// Input and output panes measure the same texts (both action captions, the output's mode
// radios), so their rows line up one below the other.
monitor::DataPaneLayout CaptionedLayout(TemplateDialog& pane, bool input, int size) {
    using P = CDlgDataPane;
    for (int i = 0; i < 3; ++i)
        pane.SetText(P::kIdBinary + i, LoadText(kTextBinary + static_cast<uint32_t>(i)).toStdString());
    pane.SetText(P::kIdCustom, LoadText(kTextCustom).toStdString());
    pane.SetText(P::kIdIncrement, LoadText(kTextIncrement).toStdString());
    pane.SetText(P::kIdAction, LoadText(input ? kTextRead : kTextWrite).toStdString());
    pane.SetText(P::kIdTimed, LoadText(input ? kTextTimedRead : kTextTimedWrite).toStdString());
    const QWidget* periodBox = pane.Control(P::kIdPeriod);
    int w = periodBox != nullptr ? periodBox->width() : 60;
    const int h = periodBox != nullptr ? periodBox->height() : 20;
    if (const auto* action = pane.ControlAs<QAbstractButton>(P::kIdAction)) {
        for (uint32_t caption : {kTextRead, kTextWrite})
            w = std::max(w, action->fontMetrics().horizontalAdvance(LoadText(caption)) + 16);
    }
    const std::vector<int> fitted{P::kIdAction,      P::kIdBinary, P::kIdDecimal,
                                  P::kIdHexadecimal, P::kIdCustom, P::kIdIncrement};
    for (int id : fitted) {
        if (const QWidget* c = pane.Control(id)) w = std::max(w, c->sizeHint().width());
    }
    if (const QWidget* timed = pane.Control(P::kIdTimed)) w = std::max(w, timed->sizeHint().width() - 20);
    return monitor::DataPaneLayout(w, h, size);
}

}  // namespace

int CDlgDataPane::DataPaneWidth() {
    TemplateDialog probe(kTemplateId, nullptr, RequiredIds());
    const int input = CaptionedLayout(probe, true, 0).PaneWidth();
    return std::max(input, CaptionedLayout(probe, false, 0).PaneWidth());
}

CDlgDataPane::CDlgDataPane(int type, int direction, int size, CSlaveDev& slave, QWidget* parent)
    : TemplateDialog(kTemplateId, parent, RequiredIds()),
      type_(type),
      direction_(direction),
      size_(size < 0 ? 0 : size),
      slave_(&slave),
      io_(std::make_shared<monitor::PaneIo>(type, slave)) {
    setWindowFlags(Qt::Widget);  // a part of the panel, never a window of its own
    setObjectName(QStringLiteral("pane%1_%2").arg(type).arg(direction));
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { RunAction(true); });
    if (QWidget* period = Control(kIdPeriod)) period->setFont(QApplication::font());
    if (type_ == monitor::kConnStrobe && direction_ == monitor::kDirOutput) {
        InitStrobePane();
    } else if (monitor::IsNoteOnlyPane(slave.Config(), type_, direction_)) {
        InitNotePane();
    } else {
        InitDataPane();
    }
}

CDlgDataPane::~CDlgDataPane() {
    timer_->stop();
    qDeleteAll(boxes_);
    boxes_.clear();
}

bool CDlgDataPane::IsTimed() const { return timer_->isActive(); }

int CDlgDataPane::TimerPeriod() const { return timer_->interval(); }

void CDlgDataPane::Place(int id, int x, int y, int width, int height) {
    if (QWidget* w = Control(id)) w->setGeometry(x, y, width, height);
}

void CDlgDataPane::InitStrobePane() {
    for (int id : {1, 2, int(kIdAction), int(kIdBinary), int(kIdDecimal), int(kIdHexadecimal), int(kIdTimed),
                   int(kIdPeriod), int(kIdMs), int(kIdCustom), int(kIdIncrement), int(kIdNote)}) {
        SetShown(id, false);
    }
    SetText(kIdNoStrobe, LoadText(kTextNoStrobe).toStdString());
    SetText(kIdStrobe, LoadText(kTextStrobe).toStdString());
    SetText(kIdStrobeSet, LoadText(kTextStrobeSet).toStdString());
    int x = 0;
    for (int id : {int(kIdNoStrobe), int(kIdStrobe), int(kIdStrobeSet)}) {
        QWidget* w = Control(id);
        if (w == nullptr) continue;
        const int width = std::max(60, w->sizeHint().width());
        w->setGeometry(x, 4, width, std::max(20, w->sizeHint().height()));
        w->show();
        x += width + monitor::DataPaneLayout::kGap;
    }
    SetChecked(kIdNoStrobe, true);
    if (auto* set = ControlAs<QAbstractButton>(kIdStrobeSet)) {
        connect(set, &QAbstractButton::clicked, this, [this] { OnStrobeSet(); });
    }
    setFixedSize(std::max(monitor::DataPaneLayout::kSmallWidth, x), monitor::DataPaneLayout::kSmallHeight);
}

void CDlgDataPane::InitNotePane() {
    noteOnly_ = true;
    for (int id :
         {1, 2, int(kIdAction), int(kIdBinary), int(kIdDecimal), int(kIdHexadecimal), int(kIdTimed), int(kIdPeriod),
          int(kIdMs), int(kIdCustom), int(kIdIncrement), int(kIdNoStrobe), int(kIdStrobe), int(kIdStrobeSet)}) {
        SetShown(id, false);
    }
    auto* note = ControlAs<QLabel>(kIdNote);
    if (note == nullptr) return;
    note->setText(LoadText(kTextNote));
    note->setWordWrap(true);
    // The note is long: it keeps the width of a four-box pane and takes the height it needs.
    const QWidget* period = Control(kIdPeriod);
    const int width = std::max(monitor::DataPaneLayout::kSmallWidth,
                               monitor::DataPaneLayout(period ? period->width() : 60, 20, 0).PaneWidth());
    const int height = std::max(monitor::DataPaneLayout::kSmallHeight, note->heightForWidth(width));
    note->setGeometry(0, 0, width, height);
    note->show();
    setFixedSize(width, height);
}

void CDlgDataPane::InitDataPane() {
    for (int id : {1, 2, int(kIdMs), int(kIdNoStrobe), int(kIdStrobe), int(kIdStrobeSet), int(kIdNote)}) {
        SetShown(id, false);
    }
    const bool input = direction_ == monitor::kDirInput;
    const monitor::DataPaneLayout layout = CaptionedLayout(*this, input, size_);
    for (int i = 0; i < size_; ++i) {
        auto* box = new CEditEx(format_, this);
        box->setObjectName(QString::number(kFirstBoxId + i));
        const monitor::PaneRect r = layout.Box(i);
        box->setGeometry(r.x, r.y, r.width, r.height);
        box->setEnabled(!input);
        box->show();
        boxes_.append(box);
    }
    auto place = [this](int id, const monitor::PaneRect& r) { Place(id, r.x, r.y, r.width, r.height); };
    place(kIdAction, layout.ActionButton());
    for (int i = 0; i < 3; ++i) place(kIdBinary + i, layout.FormatRadio(i));
    place(kIdTimed, layout.TimedCheck());
    place(kIdPeriod, layout.PeriodBox());
    SetText(kIdPeriod, std::to_string(timer_periods::kDataPaneMs));
    SetChecked(kIdHexadecimal, true);
    if (input) {
        SetShown(kIdCustom, false);
        SetShown(kIdIncrement, false);
    } else {
        place(kIdCustom, layout.ModeRadio(0));
        place(kIdIncrement, layout.ModeRadio(1));
        SetChecked(kIdCustom, true);
        SetEnabled(kIdCustom, false);
        SetEnabled(kIdIncrement, false);
    }
    if (auto* action = ControlAs<QAbstractButton>(kIdAction)) {
        connect(action, &QAbstractButton::clicked, this, [this] { RunAction(false); });
    }
    for (int i = 0; i < 3; ++i) {
        if (auto* radio = ControlAs<QAbstractButton>(kIdBinary + i)) {
            connect(radio, &QAbstractButton::toggled, this, [this, i](bool on) {
                if (on) OnFormat(i);
            });
        }
    }
    for (int mode = 0; mode < 2; ++mode) {
        if (auto* radio = ControlAs<QAbstractButton>(kIdCustom + mode)) {
            connect(radio, &QAbstractButton::toggled, this, [this, mode](bool on) {
                if (on) OnMode(mode);
            });
        }
    }
    if (auto* timed = ControlAs<QAbstractButton>(kIdTimed)) {
        connect(timed, &QAbstractButton::toggled, this, [this](bool on) { OnTimed(on); });
    }
    setFixedSize(layout.PaneWidth(), layout.PaneHeight());
}

void CDlgDataPane::OnFormat(int format) {
    format_ = format;
    for (CEditEx* box : boxes_) box->SetFormat(format);
}

void CDlgDataPane::OnMode(int mode) {
    writeMode_ = mode;
    for (CEditEx* box : boxes_) box->setEnabled(mode == 0);
}

void CDlgDataPane::OnTimed(bool checked) {
    const bool output = direction_ == monitor::kDirOutput;
    if (checked) {
        if (output) {
            SetEnabled(kIdCustom, true);
            SetEnabled(kIdIncrement, true);
            for (CEditEx* box : boxes_) box->setEnabled(writeMode_ == 0);
        }
        SetEnabled(kIdAction, false);
        SetEnabled(kIdPeriod, false);
        const monitor::TimerPeriod period = monitor::PeriodFromText(GetText(kIdPeriod));
        if (period.replaced) SetText(kIdPeriod, std::to_string(period.milliseconds));
        timer_->start(period.milliseconds);
    } else {
        if (output) {
            SetEnabled(kIdCustom, false);
            SetEnabled(kIdIncrement, false);
            for (CEditEx* box : boxes_) box->setEnabled(true);
        }
        SetEnabled(kIdAction, true);
        SetEnabled(kIdPeriod, true);
        timer_->stop();
    }
}

bool CDlgDataPane::SlaveAlive() {
    if (io_->SlaveAlive()) return true;
    // The slave left the network while its panel was up: the pane stops reaching it.
    timer_->stop();
    slave_ = nullptr;
    return false;
}

void CDlgDataPane::ShowOffline() {
    GetGlobal().ShowMessageBox(name_share::kLevelWarning, "%s", GetGlobal().LoadText(kTextOffline).c_str());
}

void CDlgDataPane::RunAction(bool fromTimer) {
    if (noteOnly_ || !SlaveAlive()) return;
    // Ticks that arrive while the message box of a failed call is open are refused by the
    // pane's I/O instead of stacking further boxes. The I/O outlives the pane for as long as
    // this action holds it (the box's loop may see the panel dropped).
    const std::shared_ptr<monitor::PaneIo> io = io_;
    const auto hold = io->Begin();
    if (!hold) return;
    const QPointer<CDlgDataPane> self(this);
    const monitor::PaneIo::Outcome outcome = direction_ == monitor::kDirInput ? Read(*io) : Write(*io);
    if (self && outcome == monitor::PaneIo::Outcome::kOffline && !fromTimer) ShowOffline();
    if (self && outcome == monitor::PaneIo::Outcome::kGone) SlaveAlive();
}

monitor::PaneIo::Outcome CDlgDataPane::Read(monitor::PaneIo& io) {
    std::vector<uint8_t> bytes;
    const QPointer<CDlgDataPane> self(this);
    const auto outcome = io.Read(static_cast<uint8_t>(size_), bytes);
    if (!self || outcome != monitor::PaneIo::Outcome::kDone) return outcome;
    for (int i = 0; i < boxes_.size() && i < static_cast<int>(bytes.size()); ++i) boxes_[i]->SetValue(bytes[i]);
    return outcome;
}

monitor::PaneIo::Outcome CDlgDataPane::Write(monitor::PaneIo& io) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size_), 0);
    for (int i = 0; i < boxes_.size() && i < size_; ++i) bytes[static_cast<std::size_t>(i)] = boxes_[i]->Value();
    const auto outcome = io.Write(bytes, writeMode_ == 1);
    // Incremented values are shown whether or not the write went through.
    if (writeMode_ == 1 && outcome != monitor::PaneIo::Outcome::kOffline && outcome != monitor::PaneIo::Outcome::kGone)
        for (int i = 0; i < boxes_.size() && i < size_; ++i) boxes_[i]->SetValue(bytes[static_cast<std::size_t>(i)]);
    return outcome;
}

void CDlgDataPane::OnStrobeSet() {
    if (!SlaveAlive()) return;
    const bool strobed = IsChecked(kIdStrobe);
    if (io_->Strobe(strobed) == monitor::PaneIo::Outcome::kOffline) {
        ShowOffline();
        return;
    }
    strobe_ = strobed ? 1 : 0;
}
