#include "monitor/log_file.h"

#include <tinyxml2.h>

#include <cstdio>
#include <fstream>

#include <unistd.h>

#include "platform/text_encoding.h"

std::string LogRowsToXml(std::span<const name_share::LogRow> rows) {
    // Top-level elements, one per line, as the XML library writes a document without a root.
    std::string text;
    for (const name_share::LogRow& row : rows) {
        std::string info = row.text;
        for (char& c : info) {
            if (c == '\n') c = '.';
        }
        tinyxml2::XMLDocument document;
        tinyxml2::XMLElement* item = document.NewElement("item");
        item->SetAttribute("time", row.time.c_str());
        item->SetAttribute("info", info.c_str());
        document.InsertEndChild(item);
        tinyxml2::XMLPrinter printer(nullptr, true);  // compact: the element alone
        document.Print(&printer);
        text.append(printer.CStr());
        text.push_back('\n');
    }
    return text;
}

bool SaveLogRows(std::span<const name_share::LogRow> rows, const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    const std::string bytes = platform::Utf8ToGb18030(LogRowsToXml(rows));
    // Written beside the target and moved over it, so a failed write never destroys a file.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
