// Thread message queues of the test interface: the library posts to a thread by its Linux thread
// id, and that thread fetches its messages with DNetTest_GetMessage / DNetTest_PeekMessage.
#pragma once

#include <cstdint>
#include <optional>

#include "dnettest.h"

namespace tamsen {

// Queues a message for the thread `tid` of this process. False (the message is dropped) when the
// thread does not exist or its queue is full.
bool PostThreadMessage(uint32_t tid, uint32_t message, uint64_t wParam, uint64_t lParam);

// The next message of the calling thread, waiting up to `timeoutMs`.
std::optional<DNetTestMessage> GetThreadMessage(uint32_t timeoutMs);

// The next message of the calling thread without waiting; `remove` takes it off the queue.
std::optional<DNetTestMessage> PeekThreadMessage(bool remove);

// Makes the message queues (they then outlive every object made after this call).
void PrepareThreadMessages();

// The calling thread's id as the start block carries it.
uint32_t CurrentThreadId();

}  // namespace tamsen
