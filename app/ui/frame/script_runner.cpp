#include "ui/frame/script_runner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>
#include <fstream>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/resource_ids.h"
#include "services/global.h"
#include "services/timer_periods.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/soak_driver.h"
#include "ui/frame/tree_dev.h"
#include "ui/network/slave_property.h"

namespace {

// Commands of the window (the ids of its menus and toolbar).
constexpr uint16_t kImport = resource_ids::kCommandImport;
constexpr uint16_t kExport = resource_ids::kCommandExport;
constexpr uint16_t kStart = resource_ids::kCommandStart;
constexpr uint16_t kStop = resource_ids::kCommandStop;
constexpr uint16_t kImportEds = resource_ids::kCommandImportEds;
constexpr uint16_t kFirstEdsEntry = resource_ids::kCommandFirstEdsEntry;
// Controls of the slave dialog: the address list and OK.
constexpr int kSlaveAddress = 17007;
constexpr int kOk = 1;

constexpr int kStartTimeoutSeconds = 30;

const char* const kAnsweredProperty = "answeredByScript";

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The first word of `text` and the rest of it, trimmed.
std::pair<std::string, std::string> SplitWord(const std::string& text) {
    const std::size_t blank = text.find_first_of(" \t");
    if (blank == std::string::npos) return {text, {}};
    return {text.substr(0, blank), Trim(text.substr(blank + 1))};
}

bool ParseCount(const std::string& text, int& out) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = std::stoi(text);
    return true;
}

CServerDev* FirstMaster() {
    const std::vector<CServerDev*> masters = GetNetwork().Masters();
    return masters.empty() ? nullptr : masters.front();
}

}  // namespace

void AnswerFileDialog(QFileDialog* dialog, const QString& path) {
    QTimer::singleShot(0, dialog, [dialog, path] {
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // Chosen as a user types a full path into the name box.
        dialog->setDirectory(QFileInfo(path).absolutePath());
        dialog->selectFile(QFileInfo(path).fileName());
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(path);
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    });
}

CScriptRunner::CScriptRunner(CMainFrame& frame, std::vector<std::string> lines, std::FILE* out)
    : frame_(frame), lines_(std::move(lines)), out_(out) {
    timer_.setInterval(timer_periods::kScriptTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    connect(&frame_, &CMainFrame::startFinished, this, [this](bool started) { startResult_ = started ? 1 : 0; });
}

CScriptRunner::~CScriptRunner() = default;

bool CScriptRunner::ReadScript(const std::string& path, std::vector<std::string>& lines, std::FILE* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(out, "script: cannot read %s\n", path.c_str());
        std::fflush(out);
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        if (!line.empty() && line.front() != '#') lines.push_back(line);
    }
    return true;
}

void CScriptRunner::Start() { timer_.start(); }

void CScriptRunner::Tick() {
    if (finished_) return;
    if (soak_ && !soak_->Finished()) {
        soak_->Tick();  // it answers the windows of its own commands
        return;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        Answer(modal);
        return;
    }
    if (busy_) return;
    if (waitFor_) {
        if (waitFor_()) {
            waitFor_ = nullptr;
            if (failures_ == failuresBefore_) {
                std::fprintf(out_, "script: ok: %s\n", current_.c_str());
                std::fflush(out_);
            }
        } else if (std::chrono::steady_clock::now() > deadline_) {
            waitFor_ = nullptr;
            Fail("timed out waiting for " + waitWhat_);
        }
        return;
    }
    if (next_ >= lines_.size()) {
        Finish();
        return;
    }
    current_ = lines_[next_++];
    boxes_ = 0;
    failuresBefore_ = failures_;
    busy_ = true;
    // Run outside this timer's handler: a timer does not fire again while its handler runs, and
    // the dialogs of the command are answered from this timer.
    QTimer::singleShot(0, this, [this] { RunCurrent(); });
}

void CScriptRunner::RunCurrent() {
    const bool ran = RunLine(current_);
    busy_ = false;
    if (!ran) return;  // RunLine reported the failure
    if (boxes_ > 0) {
        Fail("the command showed a message box");
    } else if (!waitFor_ && failures_ == failuresBefore_) {
        std::fprintf(out_, "script: ok: %s\n", current_.c_str());
        std::fflush(out_);
    }
}

// Each modal window is answered once, after it has shown (from the event loop it runs).
void CScriptRunner::Answer(QWidget* modal) {
    if (modal->property(kAnsweredProperty).toBool()) return;
    modal->setProperty(kAnsweredProperty, true);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        ++boxes_;
        std::fprintf(out_, "script: box: %s\n", box->text().toUtf8().constData());
        std::fflush(out_);
        QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(pendingFile_));
        pendingFile_.clear();
        AnswerFileDialog(dialog, path);
    } else if (auto* slave = dynamic_cast<CSlaveProperty*>(modal)) {
        const int mac = pendingMac_;
        pendingMac_ = -1;
        QTimer::singleShot(0, slave, [this, slave, mac] {
            auto* address = slave->ControlAs<QComboBox>(kSlaveAddress);
            const int index = address != nullptr ? address->findText(QString::number(mac)) : -1;
            if (index < 0) {
                Fail("address " + std::to_string(mac) + " is not offered");
                slave->reject();
                return;
            }
            address->setCurrentIndex(index);
            emit address->activated(index);
            if (auto* ok = slave->ControlAs<QAbstractButton>(kOk)) ok->click();
        });
    }
    // Anything else (the wait indicator of a start) is left to close by itself.
}

bool CScriptRunner::RunLine(const std::string& line) {
    std::fprintf(out_, "script: %s\n", line.c_str());
    std::fflush(out_);
    const auto [command, argument] = SplitWord(line);
    if (command == "import-eds") {
        const std::size_t before = GetGlobal().EdsNames().size();
        pendingFile_ = argument;
        frame_.RunCommand(kImportEds);
        if (GetGlobal().EdsNames().size() != before + 1) {
            Fail("the EDS file was not listed");
            return false;
        }
        return true;
    }
    if (command == "add-slave") {
        const auto [macText, name] = SplitWord(argument);
        int mac = 0;
        CServerDev* master = FirstMaster();
        const std::vector<std::string>& names = GetGlobal().EdsNames();
        const auto it = std::find(names.begin(), names.end(), name);
        if (!ParseCount(macText, mac) || master == nullptr || it == names.end()) {
            Fail(master == nullptr ? "there is no master" : it == names.end() ? "no EDS name " + name : "bad address");
            return false;
        }
        const int before = master->GetChildCount();
        pendingMac_ = mac;
        frame_.Tree()->SelectNode(master);
        frame_.RunCommand(static_cast<uint16_t>(kFirstEdsEntry + (it - names.begin())));
        if (master->GetChildCount() != before + 1 || master->FindSlave(mac) == nullptr) {
            Fail("no slave was added");
            return false;
        }
        return true;
    }
    if (command == "export" || command == "open") {
        if (argument.empty()) {
            Fail("no file named");
            return false;
        }
        pendingFile_ = argument;
        frame_.RunCommand(command == "export" ? kExport : kImport);
        if (!QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(argument)))) {
            Fail("the file is not there");
            return false;
        }
        return true;
    }
    if (command == "start" || command == "stop") {
        CServerDev* master = FirstMaster();
        if (master == nullptr) {
            Fail("there is no master");
            return false;
        }
        frame_.Tree()->SelectNode(master);
        if (command == "stop") {
            frame_.RunCommand(kStop);
            if (master->IsRunning()) {
                Fail("the master still runs");
                return false;
            }
            return true;
        }
        startResult_ = -1;
        frame_.RunCommand(kStart);
        waitWhat_ = "the start";
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(kStartTimeoutSeconds);
        waitFor_ = [this] {
            if (startResult_ == 0) {
                Fail("the master did not start");
                return true;
            }
            return startResult_ == 1;
        };
        return true;
    }
    if (command == "expect-online") {
        const auto [countText, secondsText] = SplitWord(argument);
        int count = 0;
        int seconds = 0;
        if (!ParseCount(countText, count) || !ParseCount(secondsText, seconds)) {
            Fail("expect-online COUNT SECONDS");
            return false;
        }
        waitWhat_ = std::to_string(count) + " slaves on line";
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        waitFor_ = [this, count] { return OnlineSlaves() >= count; };
        return true;
    }
    if (command == "soak") {
        const auto [secondsText, rest] = SplitWord(argument);
        const auto [seedText, path] = SplitWord(rest);
        int seconds = 0;
        int seed = 0;
        if (!ParseCount(secondsText, seconds) || !ParseCount(seedText, seed) || path.empty()) {
            Fail("soak SECONDS SEED PATH");
            return false;
        }
        soak_ = std::make_unique<CSoakDriver>(frame_, out_, seconds, static_cast<uint32_t>(seed), path);
        waitWhat_ = "the end of the soak";
        // Winding down (closing windows, stopping masters) takes seconds, not minutes.
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds + 120);
        waitFor_ = [this] {
            if (!soak_->Finished()) return false;
            if (soak_->UnreportedFailures() > 0)
                Fail(std::to_string(soak_->UnreportedFailures()) + " failures reached neither the log nor a box");
            return true;
        };
        return true;
    }
    if (command == "expect-slaves") {
        int count = 0;
        if (!ParseCount(argument, count) || SlaveCount() != count) {
            Fail("the network holds " + std::to_string(SlaveCount()) + " slaves");
            return false;
        }
        return true;
    }
    Fail("unknown command");
    return false;
}

void CScriptRunner::Fail(const std::string& why) {
    ++failures_;
    std::fprintf(out_, "script: FAILED: %s: %s\n", current_.c_str(), why.c_str());
    std::fflush(out_);
}

int CScriptRunner::OnlineSlaves() const {
    int online = 0;
    for (CServerDev* master : GetNetwork().Masters()) {
        for (int i = 0; i < master->GetChildCount(); ++i)
            online += frame_.Tree()->IconOf(master->GetChild(i)) == CTreeDev::kIconSlaveOnline ? 1 : 0;
    }
    return online;
}

int CScriptRunner::SlaveCount() const {
    int count = 0;
    for (CServerDev* master : GetNetwork().Masters()) count += master->GetChildCount();
    return count;
}

void CScriptRunner::Finish() {
    finished_ = true;
    timer_.stop();
    std::fprintf(out_, "script: %s\n", failures_ == 0 ? "all lines succeeded" : "failed");
    std::fflush(out_);
    const int code = failures_ == 0 ? 0 : 1;
    QTimer::singleShot(0, &frame_, [this, code] {
        frame_.close();
        QCoreApplication::exit(code);
    });
}
