#include "cip/status.h"

namespace cip {

std::array<uint8_t, 3> ErrorReply(uint8_t generalStatus) {
    return {kErrorReplyService, generalStatus, kNoAdditionalStatus};
}

std::optional<uint8_t> ErrorReplyStatus(std::span<const uint8_t> reply) {
    if (reply.size() != 3 || reply[0] != kErrorReplyService || reply[2] != kNoAdditionalStatus) return std::nullopt;
    return reply[1];
}

}  // namespace cip
