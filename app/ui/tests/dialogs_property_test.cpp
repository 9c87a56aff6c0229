// The master and slave dialogs in the window: driven by control id while they are modal
// (offscreen), from the commands "添加网络", the add-slave drop-down entries, "属性配置" and
// "导入EDS…", and the demo network started against adapter-emu with slaves added that way.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <set>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/frame_support.h"
#include "ui/frame/command_table.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/monitor/param_dlg.h"
#include "ui/network/server_property.h"
#include "ui/network/slave_property.h"

namespace {

using frame_test::Emulator;
using frame_test::TempFolder;

constexpr uint16_t kAddNetwork = 32789;
constexpr uint16_t kProperties = 32788;
constexpr uint16_t kImportEds = 32835;
constexpr uint16_t kFirstEdsEntry = 32900;
constexpr uint16_t kStart = 32786;
constexpr uint16_t kStop = 32787;

// Answers the modal windows that come up while a command runs: message boxes are recorded and
// closed, file dialogs get `file` (or are cancelled), the property dialogs go to their handlers.
class ModalDriver : public QObject {
public:
    ModalDriver() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }

    std::function<void(CServerProperty&)> onServer;
    std::function<void(CSlaveProperty&)> onSlave;
    std::string file;
    std::string seen;  // what the file dialogs returned
    std::vector<std::string> boxes;
    std::vector<std::string> editors;  // titles of the parameter editors that were opened

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        // Marked on the widget itself: a later dialog may live at the address of an earlier one.
        if (modal == nullptr || modal->property("drivenByTest").toBool()) return;
        modal->setProperty("drivenByTest", true);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back(box->text().toStdString());
            QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            const QString path = QString::fromStdString(file);
            QTimer::singleShot(0, dialog, [this, dialog, path] {
                if (path.isEmpty()) {
                    dialog->reject();
                } else {
                    // Accepted as chosen, without waiting for the dialog's folder model.
                    dialog->setDirectory(QFileInfo(path).absolutePath());
                    dialog->selectFile(QFileInfo(path).fileName());
                    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(path);
                    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
                    seen += dialog->selectedFiles().join(QLatin1Char(',')).toStdString() + ";";
                }
            });
        } else if (auto* server = dynamic_cast<CServerProperty*>(modal)) {
            QTimer::singleShot(0, server, [this, server] {
                if (onServer) onServer(*server);
                Unstick(server);
            });
        } else if (auto* editor = dynamic_cast<CParamDlg*>(modal)) {
            editors.push_back(editor->windowTitle().toStdString());
            QTimer::singleShot(0, editor, [editor] { editor->reject(); });
        } else if (auto* slave = dynamic_cast<CSlaveProperty*>(modal)) {
            QTimer::singleShot(0, slave, [this, slave] {
                if (onSlave) onSlave(*slave);
                Unstick(slave);
            });
        }
    }

    // A dialog its handler left open fails the test instead of hanging it.
    void Unstick(QDialog* dialog) {
        QPointer<QDialog> guard(dialog);
        QTimer::singleShot(1000, this, [this, guard] {
            if (guard == nullptr || !guard->isVisible()) return;
            ADD_FAILURE() << "dialog " << guard->objectName().toStdString() << " stayed open; boxes: " << boxes.size()
                          << (boxes.empty() ? std::string() : " " + boxes.back());
            guard->reject();
        });
    }

    QTimer timer_;
};

// Chooses the item `text` of a combo box as a user would (the activated signal follows).
bool Choose(TemplateDialog& dialog, int id, const QString& text) {
    auto* combo = dialog.ControlAs<QComboBox>(id);
    if (combo == nullptr) return false;
    const int index = combo->findText(text);
    if (index < 0) return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

void Click(TemplateDialog& dialog, int id) {
    if (auto* button = dialog.ControlAs<QAbstractButton>(id)) button->click();
}

std::string Stem(const std::string& path) { return std::filesystem::path(path).stem().string(); }

std::vector<std::string> EdsFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code missing;  // a missing folder has no files
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".eds") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class PropertyDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        GetNetwork().ClearNetwork();
        frame_test::UseFreshProfile(folder);
    }
    void OpenWindow() { frame = std::make_unique<CMainFrame>(); }
    void TearDown() override {
        frame.reset();
        GetNetwork().ClearNetwork();
        emulator.reset();
    }

    // Lists the file under its name for this run; its position in the EDS names.
    static int ListEds(const std::string& path) {
        GetGlobal().RegisterEdsPath(Stem(path), path);
        return GetGlobal().AddEdsName(Stem(path));
    }

    // "添加网络" for type 101, `index`, `channel`, baud code 0, master address 0.
    CServerDev* AddNetwork(ModalDriver& driver, int index, int channel) {
        driver.onServer = [index, channel](CServerProperty& d) {
            Choose(d, 3301, QString::fromStdString(GetGlobal().GetDeviceTypeName(101)));
            Choose(d, 3302, QString::number(index));
            Choose(d, 3303, QString::number(channel));
            Choose(d, 3304, QString::fromStdString(GetGlobal().GetBaudName(0)));
            Choose(d, 3391, QStringLiteral("0"));
            Click(d, CServerProperty::kOkButton);
        };
        frame->Tree()->SelectNode(nullptr);
        if (!frame->RunCommand(kAddNetwork)) return nullptr;
        return GetNetwork().FindMaster(101, static_cast<uint32_t>(index), static_cast<uint32_t>(channel));
    }

    // The add-slave entry of the EDS name at `position`, for `master`, at `mac` (-1: the first
    // free address).
    CSlaveDev* AddSlave(ModalDriver& driver, CServerDev* master, int position, int mac) {
        const int before = master->GetChildCount();
        driver.onSlave = [mac](CSlaveProperty& d) {
            if (mac >= 0) Choose(d, 17007, QString::number(mac));
            Click(d, 1);
        };
        frame->Tree()->SelectNode(master);
        if (!frame->RunCommand(static_cast<uint16_t>(kFirstEdsEntry + position))) return nullptr;
        if (master->GetChildCount() != before + 1) return nullptr;
        return master->GetChild(before);
    }

    TempFolder folder;
    std::unique_ptr<Emulator> emulator;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(PropertyDialogs, SlavesFromEveryEdsFileAndTheDemoNetworkStartedAgainstTheEmulator) {
    emulator = std::make_unique<Emulator>(1);
    if (!emulator->Ready()) GTEST_SKIP() << emulator->Problem();
    OpenWindow();
    ModalDriver driver;

    CServerDev* demo = AddNetwork(driver, 0, 0);
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(demo->Config().Record().MacId, 0u);
    EXPECT_EQ(demo->Config().Record().ExpectedPacketRate, 75u);
    EXPECT_EQ(frame->Tree()->SelectedNode(), demo);

    const std::map<std::string, int> demoMacs = {{"nd_dio_16_8", 1}, {"nd_ps20", 2}, {"nd_ai4", 3},
                                                 {"nd_vf400", 4},    {"nd_vm8", 5},  {"nd_tt1", 6}};
    const std::string demoEds = frame_test::SourceDir() + "/resources/demo/eds";
    for (const std::string& path : EdsFiles(demoEds)) {
        SCOPED_TRACE(path);
        const int position = ListEds(path);
        CSlaveDev* slave = AddSlave(driver, demo, position, demoMacs.at(Stem(path)));
        ASSERT_NE(slave, nullptr);
        EXPECT_EQ(slave->GetAddress(), demoMacs.at(Stem(path)));
        EXPECT_EQ(slave->Config().name, Stem(path));
        EXPECT_EQ(slave->Eds().path, path);
        EXPECT_EQ(slave->GetGroupCount(), 3);
        EXPECT_EQ(frame->Tree()->SelectedNode(), slave);
    }
    ASSERT_EQ(demo->GetChildCount(), 6);

    // Every shared sample through the dialog, on a second master that is not started.
    CServerDev* samples = AddNetwork(driver, 1, 0);
    ASSERT_NE(samples, nullptr);
    // The shared samples lie beside the source tree when it is checked out next to them.
    const std::string samplesDir = frame_test::SourceDir() + "/../shared/eds-samples";
    const std::vector<std::string> sampleFiles = EdsFiles(samplesDir);
    if (sampleFiles.empty()) std::cout << "[  NOTE    ] no EDS samples in " << samplesDir << ": that part is skipped\n";
    for (const std::string& path : sampleFiles) {
        SCOPED_TRACE(path);
        driver.boxes.clear();
        CSlaveDev* slave = AddSlave(driver, samples, ListEds(path), -1);
        ASSERT_NE(slave, nullptr);
        if (!driver.boxes.empty()) {
            // A file the dialog cannot use says so and leaves a hand-configured slave.
            EXPECT_NE(driver.boxes.front().find("EDS"), std::string::npos) << driver.boxes.front();
            EXPECT_EQ(slave->Config().name, "slave");
        } else {
            EXPECT_EQ(slave->Config().name, Stem(path));
        }
    }
    EXPECT_EQ(samples->GetChildCount(), static_cast<int>(sampleFiles.size()));

    frame->Tree()->SelectNode(demo);
    QSignalSpy finished(frame.get(), &CMainFrame::startFinished);
    ASSERT_TRUE(frame->RunCommand(kStart));
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_TRUE(finished.front().front().toBool());
    const bool online = QTest::qWaitFor(
        [demo] {
            for (int i = 0; i < demo->GetChildCount(); ++i)
                if (!demo->GetChild(i)->IsRunning()) return false;
            return true;
        },
        20000);
    std::string offline;
    for (int i = 0; i < demo->GetChildCount(); ++i)
        if (!demo->GetChild(i)->IsRunning()) offline += std::to_string(demo->GetChild(i)->GetAddress()) + " ";
    EXPECT_TRUE(online) << "off line: " << offline;
    frame->Tree()->SelectNode(demo);
    EXPECT_TRUE(frame->RunCommand(kStop));
}

TEST_F(PropertyDialogs, PropertiesOfAMasterAndOfASlave) {
    OpenWindow();
    ModalDriver driver;
    CServerDev* master = AddNetwork(driver, 0, 0);
    ASSERT_NE(master, nullptr);
    const int position = ListEds(frame_test::SourceDir() + "/resources/demo/eds/nd_dio_16_8.eds");
    CSlaveDev* slave = AddSlave(driver, master, position, 1);
    ASSERT_NE(slave, nullptr);

    // Without an adapter the new card cannot be opened: that box is not this test's subject.
    driver.boxes.clear();

    // The master: a new retry count, refused at 11 (the dialog stays open), taken at 3.
    driver.onServer = [](CServerProperty& d) {
        auto* retry = d.ControlAs<QLineEdit>(3328);
        ASSERT_NE(retry, nullptr);
        EXPECT_FALSE(d.Control(3309)->toolTip().isEmpty());
        EXPECT_NE(d.Control(3309)->toolTip().indexOf(QStringLiteral("<b>")), -1);
        retry->setText(QStringLiteral("11"));
        Click(d, CServerProperty::kOkButton);
        EXPECT_TRUE(d.isVisible());
        retry->setText(QStringLiteral("3"));
        Click(d, CServerProperty::kOkButton);
    };
    frame->Tree()->SelectNode(master);
    ASSERT_TRUE(frame->RunCommand(kProperties));
    EXPECT_EQ(master->Config().Record().RetryCount, 3u);
    EXPECT_EQ(driver.boxes, (std::vector<std::string>{"请输入一个介于 1 和 10 之间的整数。"}));

    // The slave: edit mode title, no batch box, the parameter button opens the slave's editor.
    driver.onSlave = [](CSlaveProperty& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("从站属性对话框"));
        EXPECT_TRUE(d.Control(17008)->isHidden());
        EXPECT_TRUE(d.Control(3407)->isEnabled());
        Click(d, 3407);
        EXPECT_LE(d.height(), d.Control(3456)->geometry().bottom() + 4);
        auto* name = d.ControlAs<QLineEdit>(17005);
        name->setText(QStringLiteral("Renamed"));
        Click(d, 1);
    };
    frame->Tree()->SelectNode(slave);
    ASSERT_TRUE(frame->RunCommand(kProperties));
    EXPECT_EQ(slave->Config().name, "Renamed");
    EXPECT_EQ(driver.editors, (std::vector<std::string>{"从站参数配置"}));
    EXPECT_EQ(slave->Config().groups.size(), 2u);
    std::string text;
    slave->GetName(text);
    EXPECT_EQ(frame->Tree()->currentItem()->text(0).toStdString(), text);
}

TEST_F(PropertyDialogs, ImportEdsCopiesANewFileAndNeverReplacesAListedName) {
    OpenWindow();
    ModalDriver driver;
    const std::string name = "ImportProbe" + std::to_string(::getpid());
    const std::string target = GetGlobal().EdsFolder() + name + ".eds";
    struct Cleanup {
        std::string path;
        ~Cleanup() { std::filesystem::remove(path); }
    } cleanup{target};
    {
        std::ofstream(folder.Path(name + ".eds")) << "[Device]\r\nVendCode = 7;\r\n";
        std::filesystem::create_directories(folder.Path("other"));
        std::ofstream(folder.Path("other/" + name + ".eds")) << "replaced";
    }
    const size_t before = GetGlobal().EdsNames().size();
    driver.file = folder.Path(name + ".eds");
    ASSERT_TRUE(frame->RunCommand(kImportEds));
    ASSERT_EQ(GetGlobal().EdsNames().size(), before + 1)
        << (driver.boxes.empty() ? std::string("no box") : driver.boxes.back()) << " files seen: " << driver.seen;
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_TRUE(driver.boxes.empty());

    driver.file = folder.Path("other/" + name + ".eds");
    ASSERT_TRUE(frame->RunCommand(kImportEds));
    EXPECT_EQ(GetGlobal().EdsNames().size(), before + 1);
    ASSERT_EQ(driver.boxes.size(), 1u);
    EXPECT_EQ(driver.boxes[0], "该名称的EDS文件已经存在，如需要添加，请修改文件名称再添加");
    EXPECT_EQ(frame_test::ReadFile(target), "[Device]\r\nVendCode = 7;\r\n");

    // Cancel imports nothing.
    driver.file.clear();
    ASSERT_TRUE(frame->RunCommand(kImportEds));
    EXPECT_EQ(GetGlobal().EdsNames().size(), before + 1);
}

// "导入新的EDS文件……" chosen with the keyboard (Home, then Enter) and a file whose name is
// listed: one file dialog and one message, as with the mouse; the listed entry is shown.
TEST_F(PropertyDialogs, ImportEntryByKeyboardOpensTheFileDialogOnce) {
    OpenWindow();
    ModalDriver driver;
    CServerDev* master = AddNetwork(driver, 0, 0);
    ASSERT_NE(master, nullptr);
    const std::string demoEds = frame_test::SourceDir() + "/resources/demo/eds";
    const std::string path = EdsFiles(demoEds).front();
    const int position = ListEds(path);
    driver.file = path;
    driver.boxes.clear();  // the card cannot be opened here; that box is not the case
    int fileDialogs = 0;
    QString shown;
    driver.onSlave = [&](CSlaveProperty& d) {
        auto* list = d.ControlAs<QComboBox>(SlavePropertyRules::kEdsList);
        ASSERT_NE(list, nullptr);
        list->setFocus();
        const size_t seenBefore = driver.seen.size();
        QTest::keyClick(list, Qt::Key_Home);
        QTest::keyClick(list, Qt::Key_Return);
        QTest::qWait(100);
        // Every accepted file dialog appends "<file>;" to `seen`.
        fileDialogs = static_cast<int>(
            std::count(driver.seen.begin() + static_cast<std::ptrdiff_t>(seenBefore), driver.seen.end(), ';'));
        shown = list->currentText();
        d.reject();
    };
    frame->Tree()->SelectNode(master);
    ASSERT_TRUE(frame->RunCommand(static_cast<uint16_t>(kFirstEdsEntry + position)));
    EXPECT_EQ(fileDialogs, 1) << driver.seen;
    std::string boxes;
    for (const std::string& b : driver.boxes) boxes += b + "\n";
    ASSERT_EQ(driver.boxes.size(), 1u) << boxes;
    EXPECT_EQ(driver.boxes[0], "该名称的EDS文件已经存在，如需要添加，请修改文件名称再添加");
    EXPECT_EQ(shown.toStdString(), Stem(path));
}

}  // namespace
