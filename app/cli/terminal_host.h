// The application services' host on a terminal: message boxes and information-log rows become
// lines on stdout. Safe to call from several threads.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include "services/host.h"

class TerminalHost : public name_share::IHost {
public:
    explicit TerminalHost(std::ostream& out) : out_(out) {}

    int ShowMessageBox(const name_share::MessageBoxRequest& request) override;
    void AppendLogRow(const name_share::LogRow& row) override;
    // Any other line, written whole.
    void Line(const std::string& text);

private:
    std::mutex lock_;
    std::ostream& out_;
};

// Text on one line: line breaks become " | " (blank lines are dropped).
std::string OneLine(const std::string& text);
