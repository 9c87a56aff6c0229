#include "report_capture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>

#include "services/global.h"
#include "services/host.h"
#include "testing/temp_dir.h"

namespace {

// Records every box and log row; used from several threads.
class CaptureHost : public name_share::IHost {
public:
    int ShowMessageBox(const name_share::MessageBoxRequest& request) override {
        std::lock_guard guard(lock_);
        lines_.push_back("box[" + request.caption + "]" + request.text);
        return 1;
    }
    void AppendLogRow(const name_share::LogRow& row) override {
        std::lock_guard guard(lock_);
        lines_.push_back(row.text);
    }
    std::vector<std::string> Take() {
        std::lock_guard guard(lock_);
        std::vector<std::string> lines;
        lines.swap(lines_);
        return lines;
    }

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
};

CaptureHost& Host() {
    static CaptureHost host;
    return host;
}

// A program folder of the test's own: known device types and baud names; API errors go to the
// log only (no boxes), so each report is one captured line.
CGlobal& TestGlobal() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Removed at exit, after the global object (built later) has written its settings.
        static testkit::TempDir dir("norvane_network_test");
        std::filesystem::create_directories(dir.Dir() / "edsfile");
        dir.Write("Norvane.xml",
                  "<ServerInfo>\n"
                  "    <Item name=\"USB-DN\" type=\"101\" chlCount=\"2\"/>\n"
                  "</ServerInfo>\n"
                  "<BaudRate>\n"
                  "    <Item value=\"0\" name=\"125K\"/>\n"
                  "    <Item value=\"1\" name=\"250K\"/>\n"
                  "    <Item value=\"2\" name=\"500K\"/>\n"
                  "</BaudRate>\n");
        dir.Write("config.xml", "<InfobarParas LogError=\"1\" LogWarning=\"1\" LogLog=\"1\" ShowMsg=\"0\"/>\n");
        ::setenv("NORVANE_HOME", dir.Path().c_str(), 1);
        // The user's own folders stay out of the tests.
        ::setenv("XDG_CONFIG_HOME", dir.Path("user-config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", dir.Path("user-data").c_str(), 1);
        GetGlobal().SetHost(&Host());
    });
    return GetGlobal();
}

}  // namespace

ReportCapture::ReportCapture() {
    TestGlobal();
    Host().Take();
}

ReportCapture::~ReportCapture() = default;

std::vector<std::string> ReportCapture::Take() { return Host().Take(); }

std::string ReportCapture::ApiError(const std::string& context, uint32_t code) {
    return context + "\n\n错误号:" + std::to_string(code) + "(" +
           TestGlobal().GetStatusText(static_cast<int32_t>(code)) + ")";
}

std::string ReportCapture::DeviceTypeName(uint32_t type) {
    return TestGlobal().GetDeviceTypeName(static_cast<int32_t>(type));
}
