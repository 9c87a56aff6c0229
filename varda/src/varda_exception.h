// The dispatcher's own error: a text for the log and the result code the caller gets.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "varda_api.h"

namespace varda {

class VARDAException {
public:
    explicit VARDAException(std::string text, uint32_t code = VARDA_ERR_LOAD_LIBRARY)
        : text_(std::move(text)), code_(code) {}

    const std::string& Text() const { return text_; }
    uint32_t Code() const { return code_; }

private:
    std::string text_;
    uint32_t code_;
};

}  // namespace varda
