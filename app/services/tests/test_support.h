// Helpers of the services tests: a temporary program folder, a host that records, the settings.
#pragma once

#include <string>
#include <vector>

#include "services/host.h"
#include "testing/build_paths.h"
#include "testing/temp_dir.h"

namespace testing_support {

// A fresh program folder, removed at the end.
using testkit::TempDir;

class RecordingHost : public name_share::IHost {
public:
    int ShowMessageBox(const name_share::MessageBoxRequest& request) override {
        boxes.push_back(request);
        return 1;
    }
    void AppendLogRow(const name_share::LogRow& row) override { rows.push_back(row); }
    bool OpenFile(const std::string& path) override {
        opened.push_back(path);
        return true;
    }

    std::vector<name_share::MessageBoxRequest> boxes;
    std::vector<name_share::LogRow> rows;
    std::vector<std::string> opened;
};

// Norvane.xml, config.xml and language files as shipped, for a test program folder.
inline constexpr const char* kNorvaneXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<ServerInfo><Item name=\"USB主站卡\" type=\"101\" chlCount=\"1\"/>"
    "<Item name=\"PCI card\" type=\"102\" chlCount=\"2\"/><Item name=\"Again\" type=\"101\" "
    "chlCount=\"9\"/></ServerInfo>\n"
    "<BaudRate><Item value=\"0\" name=\"125K\"/><Item value=\"1\" name=\"250K\"/>"
    "<Item value=\"2\" name=\"500K\"/><Item name=\"no value\"/><Item value=\"1\" name=\"250 kbit/s\"/></BaudRate>\n";

}  // namespace testing_support
