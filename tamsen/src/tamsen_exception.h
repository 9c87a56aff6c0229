// The library's internal error: a text and a result code. Caught at the exported functions.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tamsen {

class TamsenException : public std::runtime_error {
public:
    TamsenException(const std::string& text, uint32_t code) : std::runtime_error(text), code_(code) {}
    uint32_t Code() const { return code_; }

private:
    uint32_t code_;
};

}  // namespace tamsen
