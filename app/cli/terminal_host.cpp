#include "terminal_host.h"

std::string OneLine(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty() && part.back() == '\r') part.pop_back();
        if (!part.empty()) {
            if (!out.empty()) out += " | ";
            out += part;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

int TerminalHost::ShowMessageBox(const name_share::MessageBoxRequest& request) {
    std::string caption = request.caption.empty() ? std::string() : "[" + request.caption + "] ";
    Line(name_share::LogTimeText() + " message " + caption + OneLine(request.text));
    return 1;
}

void TerminalHost::AppendLogRow(const name_share::LogRow& row) {
    const char* level = row.level == 0 ? "error" : row.level == 1 ? "warning" : "log";
    Line(row.time + " " + level + " " + OneLine(row.text));
}

void TerminalHost::Line(const std::string& text) {
    std::lock_guard guard(lock_);
    out_ << text << std::endl;
}
