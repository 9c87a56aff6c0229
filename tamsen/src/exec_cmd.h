// One command exchange with the adapter: the command packet out on a command pipe (64 bytes, the
// whole packet also on the extension pipe when it is longer), one acknowledge back.
#pragma once

#include <cstdint>

#include "packet.h"
#include "tamsen_device.h"

namespace tamsen {

// Runs the exchange under the device's command lock of the packet's pipe group. On success the
// acknowledge is at the front of `rx` and `ackLength` holds its total length (length + 8).
// Returns 0, the adapter's code from an error acknowledge, or 57.
uint32_t ExecCmd(TamsenDevice& device, ReceiveBuffer& rx, CommandPacket& cmd, uint32_t& ackLength);

// The same exchange without the command lock.
uint32_t ExecCmdUnlock(TamsenDevice& device, ReceiveBuffer& rx, CommandPacket& cmd, uint32_t& ackLength);

// Asks for the pipe's state (3 tries) and resets a pipe that is not ready.
bool CheckPipeState(driver::Pipe& pipe);

// One reset request on the pipe.
bool ResetPipe(driver::Pipe& pipe);

}  // namespace tamsen
