// Plain text tables for the terminal: columns padded to the widest cell (wide characters count
// two columns).
#pragma once

#include <ostream>
#include <string>
#include <vector>

class TextTable {
public:
    explicit TextTable(std::vector<std::string> headers);
    void AddRow(std::vector<std::string> cells);
    void Print(std::ostream& out, const std::string& indent = "  ") const;
    std::size_t RowCount() const { return rows_.size(); }

private:
    std::vector<std::string> headers_;
    std::vector<std::vector<std::string>> rows_;
};

// Terminal columns taken by UTF-8 text.
std::size_t DisplayWidth(const std::string& text);
