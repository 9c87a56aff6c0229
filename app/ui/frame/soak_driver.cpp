#include "ui/frame/soak_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cstdarg>
#include <vector>

#include "network/master_api_failures.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/resource_ids.h"
#include "services/global.h"
#include "services/host.h"
#include "ui/frame/data_view.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/script_runner.h"
#include "ui/frame/tree_dev.h"
#include "ui/frame/wait_indicator.h"
#include "ui/models/info_log_model.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/param_dlg.h"
#include "ui/monitor/varda_pane.h"
#include "ui/widgets/template_dialog.h"

namespace {

// Per modal window: ticks seen and steps taken (dynamic properties, gone with the window).
const char* const kTicksProperty = "soakTicks";
const char* const kStepsProperty = "soakSteps";
const char* const kPlanProperty = "soakPlan";

int Bump(QWidget* widget, const char* name) {
    const int value = widget->property(name).toInt() + 1;
    widget->setProperty(name, value);
    return value;
}

// The kinds of action, drawn by weight.
enum Action : int {
    kSelect,
    kStartMaster,
    kStopMaster,
    kDataPanes,
    kParamEditor,
    kConsole,
    kOtherCommand,
    kActionCount
};
constexpr int kWeights[kActionCount] = {14, 10, 4, 14, 6, 8, 14};
const char* const kActionNames[kActionCount] = {"select",           "start",  "stop", "data panes", "parameter editor",
                                                "explicit console", "command"};

struct Command {
    uint16_t id;
    const char* name;
};
// Commands drawn at random (exit, help and the add-slave drop-down, which is a pop-up menu, are
// left out; the EDS entries are given directly).
constexpr Command kCommands[] = {
    {resource_ids::kCommandProperties, "properties"},
    {resource_ids::kCommandAddNetwork, "add network"},
    {resource_ids::kCommandSearch, "search"},
    {resource_ids::kCommandCommissionNode, "commission"},
    {resource_ids::kCommandPropertyBar, "property pane"},
    {resource_ids::kCommandInfoBar, "information pane"},
    {resource_ids::kCommandToolBar, "tool bar"},
    {resource_ids::kCommandStatusBar, "status bar"},
    {resource_ids::kCommandLogClear, "clear log"},
    {resource_ids::kCommandLogSave, "save log"},
    {resource_ids::kCommandLogSettings, "log settings"},
    {resource_ids::kCommandRefreshView, "refresh view"},
    {resource_ids::kCommandNew, "new view"},
    {resource_ids::kCommandAbout, "about"},
    {resource_ids::kCommandExport, "export"},
    {resource_ids::kCommandExportReport, "export report"},
    {resource_ids::kCommandOpen, "open"},
    {resource_ids::kCommandImport, "import"},
    {resource_ids::kCommandFirstEdsEntry, "add slave"},
    {resource_ids::kCommandFirstLanguage, "language 0"},
    {resource_ids::kCommandFirstLanguage + 1, "language 1"},
    {resource_ids::kCommandDeleteSlave, "delete slave"},
    {resource_ids::kCommandDeleteAllSlaves, "delete all slaves"},
};

std::vector<CDeviceBase*> Nodes(bool slavesOnly, bool runningMaster) {
    std::vector<CDeviceBase*> nodes;
    for (CServerDev* master : GetNetwork().Masters()) {
        const bool running = master->IsRunning() != 0;
        if (runningMaster && !running) continue;
        if (!slavesOnly) nodes.push_back(master);
        for (int i = 0; i < master->GetChildCount(); ++i) nodes.push_back(master->GetChild(i));
    }
    return nodes;
}

QAbstractButton* Button(QWidget* dialog, int id) {
    auto* templ = qobject_cast<TemplateDialog*>(dialog);
    auto* button = templ != nullptr ? templ->ControlAs<QAbstractButton>(id) : nullptr;
    return button != nullptr && button->isEnabled() && button->isVisible() ? button : nullptr;
}

}  // namespace

CSoakDriver::CSoakDriver(CMainFrame& frame, std::FILE* out, int seconds, uint32_t seed, std::string networkFile)
    : frame_(frame),
      out_(out),
      begin_(std::chrono::steady_clock::now()),
      end_(begin_ + std::chrono::seconds(seconds)),
      nextAction_(begin_),
      random_(seed),
      networkFile_(std::move(networkFile)),
      folder_(QFileInfo(QString::fromStdString(networkFile_)).absolutePath().toStdString()) {
    if (InfoLogModel* model = frame_.LogPane() != nullptr ? frame_.LogPane()->Model() : nullptr) {
        connect(model, &QAbstractItemModel::rowsInserted, this, [this, model](const QModelIndex&, int first, int last) {
            const auto rows = model->Rows();
            for (int i = first; i <= last && i < static_cast<int>(rows.size()); ++i) {
                ++logRows_;
                std::string text = rows[static_cast<std::size_t>(i)].text;
                if (rows[static_cast<std::size_t>(i)].level == 0) {
                    ++logErrors_;
                    for (int f = 0; f < kApiFunctions; ++f) {
                        if (text.find(netsvc::MasterApiFailureCount::Name(static_cast<ApiFunction>(f))) !=
                            std::string::npos) {
                            ++api_[f].rows;
                            ++api_[f].rowsTotal;
                        }
                    }
                }
                std::replace(text.begin(), text.end(), '\n', ' ');
                Print("log: %d %s", rows[static_cast<std::size_t>(i)].level, text.c_str());
            }
        });
    }
    connect(&frame_, &CMainFrame::startFinished, this, [this](bool started) {
        waitingStart_ = false;
        Print("start finished: %s", started ? "started" : "failed");
        if (!started) {
            checks_.push_back({"the failed start", startBoxes_, startLogRows_,
                               std::chrono::steady_clock::now() + std::chrono::seconds(2)});
        }
    });
    Print("begins: %d s, seed %u", seconds, seed);
}

CSoakDriver::~CSoakDriver() = default;

double CSoakDriver::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin_).count();
}

void CSoakDriver::Print(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(out_, "soak: %8.3f %s\n", Seconds(), text);
    std::fflush(out_);
}

int CSoakDriver::Random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

void CSoakDriver::Queue(bool& busy, std::function<void()> step) {
    busy = true;
    QTimer::singleShot(0, this, [&busy, step = std::move(step)] {
        step();
        busy = false;
    });
}

void CSoakDriver::Tick() {
    if (finished_) return;
    CheckReports(false);
    CheckApiFailures(false);
    const auto now = std::chrono::steady_clock::now();
    if (phase_ == Phase::kRunning && now >= end_) {
        phase_ = Phase::kWindingDown;
        Print("time is up: closing the open windows");
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        HandleModal(modal);
        return;
    }
    if (actionBusy_ || waitingStart_ || frame_.StartInProgress()) return;
    switch (phase_) {
        case Phase::kRunning:
            if (now >= nextAction_) {
                nextAction_ = now + std::chrono::milliseconds(Random(50, 400));
                NextAction();
            }
            return;
        case Phase::kWindingDown:
            phase_ = Phase::kStopping;
            Queue(actionBusy_, [this] { StopAllMasters(); });
            return;
        case Phase::kStopping:
            phase_ = Phase::kDone;
            CheckReports(true);
            CheckApiFailures(true);
            PrintSummary();
            finished_ = true;
            return;
        case Phase::kDone: return;
    }
}

// ---- modal windows ----

void CSoakDriver::HandleModal(QWidget* modal) {
    if (qobject_cast<CWaitIndicator*>(modal) != nullptr) return;  // closes when the start ends
    const int ticks = Bump(modal, kTicksProperty);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (ticks == 1) {
            ++boxes_;
            std::string text = box->text().toStdString();
            std::replace(text.begin(), text.end(), '\n', ' ');
            Print("box: %s", text.c_str());
        } else if (ticks == 3 || ticks % 100 == 0) {
            AnswerBox(box);  // again now and then, should a press not have closed it
        }
        return;
    }
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        if (ticks != 2 && ticks % 100 != 0) return;
        const QString path = QString::fromStdString(pendingFile_);
        pendingFile_.clear();
        Print("file dialog: %s", path.isEmpty() ? "cancelled" : path.toUtf8().constData());
        AnswerFileDialog(dialog, path);
        return;
    }
    if (stepBusy_) return;  // a step of a window is still under way
    // The editor is worked for seconds (its transfer buttons wait three seconds), the console a
    // few steps; other dialogs are looked at for a moment and cancelled.
    const bool editor = qobject_cast<CParamDlg*>(modal) != nullptr;
    if (ticks % (editor ? Random(15, 40) : Random(5, 15)) != 0) return;
    if (modal->property(kPlanProperty).isNull())
        modal->setProperty(kPlanProperty, editor ? Random(8, 24) : Random(2, 10));
    const int steps = Bump(modal, kStepsProperty);
    const bool closing = phase_ != Phase::kRunning || steps > modal->property(kPlanProperty).toInt();
    if (closing) {
        CloseDialog(modal);
    } else if (editor) {
        StepParamEditor(modal);
    } else if (qobject_cast<CVARDAPane*>(modal) != nullptr) {
        StepConsole(modal);
    } else {
        CloseDialog(modal);
    }
}

// A button of the box itself, drawn at random, pressed as a user presses it.
void CSoakDriver::AnswerBox(QMessageBox* box) {
    const QList<QAbstractButton*> buttons = box->buttons();
    if (buttons.isEmpty()) {
        QPointer<QMessageBox> guard(box);
        QTimer::singleShot(0, box, [guard] {
            if (guard) guard->done(QMessageBox::Ok);
        });
        return;
    }
    QAbstractButton* button = buttons.at(Random(0, static_cast<int>(buttons.size()) - 1));
    Print("box answered: %s", button->text().toUtf8().constData());
    QPointer<QAbstractButton> guard(button);
    QTimer::singleShot(0, button, [guard] {
        if (guard) guard->click();
    });
}

void CSoakDriver::StepParamEditor(QWidget* dialog) {
    QPointer<CParamDlg> editor(qobject_cast<CParamDlg*>(dialog));
    const int choice = Random(0, 5);
    Queue(stepBusy_, [this, editor, choice] {
        if (!editor) return;
        static constexpr int kButtons[] = {CParamDlg::kUpload, CParamDlg::kDownload, CParamDlg::kDefaults,
                                           CParamDlg::kReset, CParamDlg::kCompare};
        static const char* const kNames[] = {"upload", "download", "defaults", "reset", "compare"};
        if (choice < 5) {
            if (QAbstractButton* button = Button(editor, kButtons[choice])) {
                ++counts_[std::string("parameter ") + kNames[choice]];
                Print("parameter editor: %s", kNames[choice]);
                button->click();
            }
            return;
        }
        if (auto* groups = editor->ControlAs<QComboBox>(CParamDlg::kGroupList);
            groups != nullptr && groups->count() > 0) {
            const int index = Random(0, groups->count() - 1);
            Print("parameter editor: group %d", index);
            groups->setCurrentIndex(index);
            emit groups->activated(index);
        }
    });
}

void CSoakDriver::StepConsole(QWidget* dialog) {
    QPointer<CVARDAPane> console(qobject_cast<CVARDAPane*>(dialog));
    const int choice = Random(0, 6);
    Queue(stepBusy_, [this, console, choice] {
        if (!console) return;
        const uint64_t boxes = boxes_;
        const uint64_t rows = logRows_;
        switch (choice) {
            case 0:
            case 1: {
                // A service of the list (Get_Attribute_Single mostly) on the identity object.
                if (auto* services = console->ControlAs<QComboBox>(CVARDAPane::kServiceList);
                    services != nullptr && services->isEnabled() && services->count() > 0) {
                    const int index = Chance(70) ? services->findText(QStringLiteral("0x0E"), Qt::MatchContains) : -1;
                    services->setCurrentIndex(index >= 0 ? index : Random(0, services->count() - 1));
                }
                if (Button(console, CVARDAPane::kSend) == nullptr) return;
                ++counts_["console send"];
                const bool ok = console->Send();
                Print("console: send %s", ok ? "answered" : "failed");
                if (!ok && boxes_ == boxes && logRows_ == rows) ExpectReported("the failed console request", 1000);
                return;
            }
            case 2:
                if (QAbstractButton* b = Button(console, CVARDAPane::kGetStatus)) {
                    Print("console: status");
                    b->click();
                }
                return;
            case 3:
                if (QAbstractButton* b = Button(console, CVARDAPane::kReadIo)) {
                    ++counts_["console read io"];
                    Print("console: read io");
                    b->click();
                }
                return;
            case 4:
                if (QAbstractButton* b = Button(console, CVARDAPane::kWriteIo)) {
                    ++counts_["console write io"];
                    Print("console: write io");
                    b->click();
                }
                return;
            default:
                if (auto* timed = console->ControlAs<QCheckBox>(CVARDAPane::kTimedSend);
                    timed != nullptr && timed->isEnabled()) {
                    if (!timed->isChecked()) {
                        if (auto* period = console->ControlAs<QLineEdit>(CVARDAPane::kPeriod);
                            period != nullptr && period->isEnabled())
                            period->setText(QStringLiteral("10"));
                    }
                    ++counts_["console timed send"];
                    Print("console: timed send %s", timed->isChecked() ? "off" : "on at 10 ms");
                    timed->click();
                }
                return;
        }
    });
}

// Cancel (or the console's close button); a dialog without one is rejected as Escape does.
void CSoakDriver::CloseDialog(QWidget* dialog) {
    QPointer<QWidget> guard(dialog);
    Queue(stepBusy_, [this, guard] {
        if (!guard) return;
        Print("dialog closed: %s", guard->metaObject()->className());
        if (QAbstractButton* cancel = Button(guard, name_share::kIdCancel)) {
            cancel->click();
        } else if (auto* qdialog = qobject_cast<QDialog*>(guard.data())) {
            qdialog->reject();
        } else {
            guard->close();
        }
    });
}

// ---- actions ----

void CSoakDriver::NextAction() {
    int total = 0;
    for (int weight : kWeights) total += weight;
    int draw = Random(1, total);
    int kind = 0;
    while (draw > kWeights[kind]) draw -= kWeights[kind++];
    ++counts_[kActionNames[kind]];
    Queue(actionBusy_, [this, kind] { RunAction(kind); });
}

void CSoakDriver::RunCommand(uint16_t id, const char* name) {
    const bool ran = frame_.RunCommand(id);
    Print("command %u %s%s", id, name, ran ? "" : " (not offered)");
}

void CSoakDriver::RunAction(int kind) {
    switch (kind) {
        case kSelect: SelectRandomNode(false, false); return;
        case kStartMaster: {
            const std::vector<CServerDev*> masters = GetNetwork().Masters();
            if (masters.empty()) {
                ReopenNetwork();
                return;
            }
            frame_.Tree()->SelectNode(
                masters[static_cast<std::size_t>(Random(0, static_cast<int>(masters.size()) - 1))]);
            startBoxes_ = boxes_;
            startLogRows_ = logRows_;
            waitingStart_ = true;
            RunCommand(resource_ids::kCommandStart, "start");
            if (!frame_.StartInProgress()) waitingStart_ = false;  // not offered, or ended at once
            return;
        }
        case kStopMaster: {
            const std::vector<CServerDev*> masters = GetNetwork().Masters();
            if (masters.empty()) return;
            frame_.Tree()->SelectNode(
                masters[static_cast<std::size_t>(Random(0, static_cast<int>(masters.size()) - 1))]);
            RunCommand(resource_ids::kCommandStop, "stop");
            return;
        }
        case kDataPanes: WorkDataPanes(); return;
        case kParamEditor:
            SelectRandomNode(true, false);
            RunCommand(resource_ids::kCommandParameters, "parameter editor");
            return;
        case kConsole:
            SelectRandomNode(true, true);
            RunCommand(resource_ids::kCommandExplicit, "explicit console");
            return;
        default: {
            const Command& command = kCommands[Random(0, static_cast<int>(std::size(kCommands)) - 1)];
            if (command.id == resource_ids::kCommandDeleteSlave ||
                command.id == resource_ids::kCommandDeleteAllSlaves) {
                // Deleting is rare: the network would soon be empty.
                if (!Chance(25)) return;
                SelectRandomNode(command.id == resource_ids::kCommandDeleteSlave, false);
            } else if (command.id == resource_ids::kCommandProperties ||
                       command.id == resource_ids::kCommandFirstEdsEntry) {
                SelectRandomNode(false, false);
            }
            switch (command.id) {
                case resource_ids::kCommandExport: pendingFile_ = folder_ + "/soak-export.kld"; break;
                case resource_ids::kCommandExportReport: pendingFile_ = folder_ + "/soak-report.html"; break;
                case resource_ids::kCommandLogSave: pendingFile_ = folder_ + "/soak-log.txt"; break;
                case resource_ids::kCommandOpen:
                case resource_ids::kCommandImport: pendingFile_ = networkFile_; break;
                default: pendingFile_.clear(); break;
            }
            RunCommand(command.id, command.name);
            pendingFile_.clear();
            if (SlaveCount() < 3) ReopenNetwork();
            return;
        }
    }
}

void CSoakDriver::SelectRandomNode(bool slavesOnly, bool runningMaster) {
    const std::vector<CDeviceBase*> nodes = Nodes(slavesOnly, runningMaster);
    if (nodes.empty()) return;
    frame_.Tree()->SelectNode(nodes[static_cast<std::size_t>(Random(0, static_cast<int>(nodes.size()) - 1))]);
}

// Shows a slave's data panel and sets its panes: timed at 10 ms (most of them), a format, and for
// outputs custom data or the increment.
void CSoakDriver::WorkDataPanes() {
    SelectRandomNode(true, Chance(80));
    const QList<CDlgDataPane*> panes = frame_.DataView()->findChildren<CDlgDataPane*>();
    int shown = 0;
    int timed = 0;
    for (CDlgDataPane* pane : panes) {
        if (!pane->isVisible() || pane->IsNoteOnly()) continue;
        ++shown;
        if (QAbstractButton* format = Button(pane, Random(CDlgDataPane::kIdBinary, CDlgDataPane::kIdHexadecimal)))
            format->click();
        auto* box = pane->ControlAs<QCheckBox>(CDlgDataPane::kIdTimed);
        if (box == nullptr || !box->isEnabled()) {
            if (QAbstractButton* strobe = Button(pane, CDlgDataPane::kIdStrobeSet)) strobe->click();
            continue;
        }
        if (box->isChecked() == Chance(80)) {
            if (box->isChecked()) ++timed;
            continue;  // already as drawn
        }
        if (!box->isChecked()) {
            if (auto* period = pane->ControlAs<QLineEdit>(CDlgDataPane::kIdPeriod))
                period->setText(QStringLiteral("10"));
            if (pane->Direction() == 0) {
                if (QAbstractButton* mode =
                        Button(pane, Chance(50) ? CDlgDataPane::kIdCustom : CDlgDataPane::kIdIncrement))
                    mode->click();
            }
            ++timed;
        }
        box->click();
    }
    Print("data panes: %d shown, %d timed at 10 ms", shown, timed);
}

void CSoakDriver::ReopenNetwork() {
    Print("opening the network again: %s", networkFile_.c_str());
    frame_.OpenNetworkFile(QString::fromStdString(networkFile_), true);
}

void CSoakDriver::StopAllMasters() {
    for (CServerDev* master : GetNetwork().Masters()) {
        if (master->IsRunning() == 0) continue;
        frame_.Tree()->SelectNode(master);
        RunCommand(resource_ids::kCommandStop, "stop");
    }
}

int CSoakDriver::SlaveCount() const {
    int count = 0;
    for (CServerDev* master : GetNetwork().Masters()) count += master->GetChildCount();
    return count;
}

// ---- reports ----

void CSoakDriver::ExpectReported(const std::string& what, int graceMs) {
    checks_.push_back({what, boxes_, logRows_, std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs)});
}

void CSoakDriver::CheckReports(bool all) {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = checks_.begin(); it != checks_.end();) {
        const bool reported = boxes_ > it->boxes || logRows_ > it->logRows;
        if (!reported && !all && now < it->due) {
            ++it;
            continue;
        }
        if (!reported) {
            ++unreported_;
            Print("UNREPORTED: %s reached neither the log nor a box", it->what.c_str());
        }
        it = checks_.erase(it);
    }
}

void CSoakDriver::CheckApiFailures(bool last) {
    // The editor's requests are counted while it is open; other callers of explicit requests
    // (search, survey) cannot run then, as the editor is modal.
    bool editorOpen = false;
    for (QWidget* window : QApplication::topLevelWidgets())
        editorOpen = editorOpen || (qobject_cast<CParamDlg*>(window) != nullptr && window->isVisible());
    apiFailures_.CountExplicitRequests(editorOpen);

    constexpr auto kGrace = std::chrono::seconds(5);
    const auto now = std::chrono::steady_clock::now();
    for (int f = 0; f < kApiFunctions; ++f) {
        ApiFailures& api = api_[f];
        const char* name = netsvc::MasterApiFailureCount::Name(static_cast<ApiFunction>(f));
        // A call is counted before its report is made; a row pays for the oldest failure that
        // is still owed, and rows that come when nothing is owed (a request of 66 tried for the
        // last time, the console's) are dropped.
        const uint64_t failed = apiFailures_.Failed(static_cast<ApiFunction>(f));
        api.owedSince.insert(api.owedSince.end(), failed - api.seen, now);
        api.seen = failed;
        const uint64_t paid = std::min<uint64_t>(api.owedSince.size(), api.rows);
        api.owedSince.erase(api.owedSince.begin(), api.owedSince.begin() + static_cast<std::ptrdiff_t>(paid));
        api.rows = 0;
        // A report may still be on its way (from a worker, or behind an open box) for a while.
        std::size_t late = 0;
        while (late < api.owedSince.size() && now - api.owedSince[late] >= kGrace) ++late;
        if (late > 0) {
            unreported_ += static_cast<int>(late);
            Print("UNREPORTED: %zu failed %s call(s) reached no error row of the log", late, name);
            api.owedSince.erase(api.owedSince.begin(), api.owedSince.begin() + static_cast<std::ptrdiff_t>(late));
        }
        if (last && !api.owedSince.empty())
            Print("%zu failed %s call(s) of the last seconds not judged", api.owedSince.size(), name);
    }
}

void CSoakDriver::PrintSummary() {
    std::string actions;
    for (const auto& [name, count] : counts_)
        actions += (actions.empty() ? "" : ", ") + name + " " + std::to_string(count);
    Print("actions: %s", actions.c_str());
    std::string api;
    for (int f = 0; f < kApiFunctions; ++f) {
        api += (f == 0 ? "" : ", ") + std::string(netsvc::MasterApiFailureCount::Name(static_cast<ApiFunction>(f))) +
               " " + std::to_string(api_[f].seen) + " failed / " + std::to_string(api_[f].rowsTotal) + " rows";
    }
    Print("master API failures (editor requests only for VARDA_EMRequest): %s", api.c_str());
    Print("boxes %llu, log rows %llu (errors %llu), unreported failures %d", static_cast<unsigned long long>(boxes_),
          static_cast<unsigned long long>(logRows_), static_cast<unsigned long long>(logErrors_), unreported_);
}
