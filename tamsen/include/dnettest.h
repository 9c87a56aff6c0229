/* The DeviceNet test interface of libtamsen.so.
 *
 * A test program starts an adapter in test mode (the adapter's firmware then acts as a plain
 * DeviceNet node), lets it produce messages, changes its node configuration, switches it on and
 * off line, and receives every message the adapter picks up from the bus. The library's receive
 * thread fetches them from the adapter and writes them into a ring of 19-byte records in memory
 * that the test program reads; thread messages tell the program when records arrived.
 *
 * Linux layout (64-bit):
 *
 *   Start block (128 bytes, given to DNetTest_StartDrv, a copy is kept by the library):
 *     0   u32  owner window; not used on Linux (leave 0)
 *     4   u32  Linux thread id (gettid) of the thread that receives the notifications
 *     8   u32  test key: the caller's name for this adapter in every other call and the first
 *              parameter of every WM_DNET_RECEIVED
 *     12  u32  set to 1 by the library when the adapter was started
 *     116 u8   node configuration sent to the adapter: bits 0-5 MAC ID, bits 6-7 baud rate
 *     others   not used by the library
 *
 *   Ring header (DNetTestRingHeader, 24 bytes):
 *     0   u32  head: next slot the library writes (0 to 1023); written by the library only
 *     4   u32  tail: next slot the consumer reads (0 to 1023); written by the consumer only
 *     8   u32  mask: always 1023
 *     12  u32  padding
 *     16  ptr  address of the slot-pointer table: 1024 pointers, entry i points to slot i
 *   The header, the table and the slots stay where they are until DNetTest_StopDrv.
 *
 *   Ring rule (the same on both sides): unread = (head - tail) & mask; the ring holds at most
 *   mask (1023) unread records, so head == tail means empty and the free space is
 *   mask - unread. The library writes only into free slots, then publishes head (release); the
 *   consumer reads slots from tail while tail != head (head read with acquire), then publishes the
 *   new tail (release). Neither side takes a lock. The library fetches records from the adapter
 *   only while at least DNETTEST_RECORDS_PER_FETCH slots are free, so no record is ever dropped
 *   or overwritten on the library's side; while the ring is fuller it posts WM_DNET_RECEIVED
 *   every millisecond instead.
 *
 *   Record (19 bytes, as the adapter delivers it):
 *     0 u8 flags (bit 0 received frame, bit 7 records were lost before this one in the adapter)
 *     1 u16 LE CAN identifier | 3 u8 data length 0-8 | 4 8 x u8 data | 12 u32 LE time stamp ms
 *     16 u8 message group 1-4 | 17 u8 MAC ID field (0xFF in group 4) | 18 u8 message ID field
 *
 *   Thread messages: the library posts WM_DNET_STARTED (wParam 0, lParam = address of the
 *   library's copy of the start block) once when the receive thread starts, and WM_DNET_RECEIVED
 *   (wParam = test key, lParam = address of the ring header) after every batch of records and
 *   every millisecond while the ring is full. They queue per thread (at most
 *   DNETTEST_QUEUE_LIMIT; later posts are dropped) and are fetched with DNetTest_GetMessage or
 *   DNetTest_PeekMessage by the thread they were posted to. Messages to a thread that does not
 *   exist are dropped; those to a thread that never asks are dropped when that thread ends.
 *
 *   Card selection: $TAMSEN_TEST_CARD "0" to "7" chooses that adapter index and "cancel"
 *   cancels; otherwise the prompt "CardIndex [0-7]:" is shown on the controlling terminal (an
 *   empty answer takes 0); without a terminal the start is cancelled.
 */
#ifndef TAMSEN_DNETTEST_H
#define TAMSEN_DNETTEST_H

/* A C header: the C library's names. */
#include <stddef.h> /* NOLINT(modernize-deprecated-headers) */
#include <stdint.h> /* NOLINT(modernize-deprecated-headers) */

#ifdef __cplusplus
extern "C" {
#endif

#define DNETTEST_EXPORT __attribute__((visibility("default")))

#define WM_DNET_STARTED 0x464u /* WM_USER + 100 */
#define WM_DNET_RECEIVED 0x467u /* WM_USER + 103 */

#define DNETTEST_BLOCK_SIZE 128u
#define DNETTEST_BLOCK_OWNER 0u
#define DNETTEST_BLOCK_THREAD 4u
#define DNETTEST_BLOCK_KEY 8u
#define DNETTEST_BLOCK_STARTED 12u
#define DNETTEST_BLOCK_CONFIG 116u

#define DNETTEST_RECORD_SIZE 19u
#define DNETTEST_RING_SLOTS 1024u
#define DNETTEST_RING_MASK 1023u
/* Most records one fetch from the adapter can bring: (512 - 8) / 19. */
#define DNETTEST_RECORDS_PER_FETCH 26u
#define DNETTEST_MAX_PRODUCE 48u
#define DNETTEST_QUEUE_LIMIT 10000u

#define DNETTEST_PM_NOREMOVE 0u
#define DNETTEST_PM_REMOVE 1u

typedef struct DNetTestRingHeader {
    uint32_t head;
    uint32_t tail;
    uint32_t mask;
    uint32_t reserved;
    uint8_t* const* slots;
} DNetTestRingHeader;

typedef struct DNetTestMessage {
    uint32_t message;
    uint32_t reserved;
    uint64_t wParam;
    uint64_t lParam;
} DNetTestMessage;

#ifdef __cplusplus
static_assert(sizeof(void*) == 8, "the layouts above are those of 64-bit Linux");
static_assert(offsetof(DNetTestRingHeader, head) == 0);
static_assert(offsetof(DNetTestRingHeader, tail) == 4);
static_assert(offsetof(DNetTestRingHeader, mask) == 8);
static_assert(offsetof(DNetTestRingHeader, slots) == 16);
static_assert(sizeof(DNetTestRingHeader) == 24);
static_assert(offsetof(DNetTestMessage, message) == 0);
static_assert(offsetof(DNetTestMessage, wParam) == 8);
static_assert(offsetof(DNetTestMessage, lParam) == 16);
static_assert(sizeof(DNetTestMessage) == 24);
static_assert(DNETTEST_RECORDS_PER_FETCH == (512u - 8u) / DNETTEST_RECORD_SIZE);
#else
_Static_assert(sizeof(void*) == 8, "the layouts above are those of 64-bit Linux");
_Static_assert(sizeof(DNetTestRingHeader) == 24, "ring header");
_Static_assert(sizeof(DNetTestMessage) == 24, "thread message");
#endif

/* Chooses an adapter, opens it in test mode and starts its receive thread; on success the u32 at
 * block offset 12 becomes 1, otherwise the block is left as it was. */
DNETTEST_EXPORT void DNetTest_StartDrv(uint8_t* block);
/* Stops the receive thread and closes the adapter of `key`; the ring is gone afterwards. */
DNETTEST_EXPORT void DNetTest_StopDrv(uint32_t key);
/* Sends one message: `length` data bytes (at most DNETTEST_MAX_PRODUCE) and the 32-bit `value`
 * (the CAN identifier). */
DNETTEST_EXPORT void DNetTest_Produce(uint32_t length, uint32_t value, const uint8_t* data, uint32_t key);
/* 1 on success, 0 otherwise. */
DNETTEST_EXPORT uint32_t DNetTest_ReConfig(uint32_t key, uint32_t value);
DNETTEST_EXPORT uint32_t DNetTest_Offline(uint32_t key);
DNETTEST_EXPORT uint32_t DNetTest_Online(uint32_t key);
DNETTEST_EXPORT void DNetTest_SetScreen(void);
/* Waits up to `timeoutMs` for the next message posted to the calling thread: 1 and the message,
 * or 0 when none came. */
DNETTEST_EXPORT uint32_t DNetTest_GetMessage(DNetTestMessage* message, uint32_t timeoutMs);
/* The next message of the calling thread without waiting: 1 and the message (taken off the queue
 * with DNETTEST_PM_REMOVE), or 0 when there is none. */
DNETTEST_EXPORT uint32_t DNetTest_PeekMessage(DNetTestMessage* message, uint32_t remove);

/* Consumer side of the ring. */
static inline uint32_t DNetTestRing_Unread(const DNetTestRingHeader* ring) {
    const uint32_t head = __atomic_load_n(&ring->head, __ATOMIC_ACQUIRE);
    const uint32_t tail = __atomic_load_n(&ring->tail, __ATOMIC_RELAXED);
    return (head - tail) & ring->mask;
}

/* Copies up to `max` unread records (19 bytes each) to `out` and frees their slots; returns the
 * number copied. */
static inline uint32_t DNetTestRing_Read(DNetTestRingHeader* ring, uint8_t* out, uint32_t max) {
    const uint32_t head = __atomic_load_n(&ring->head, __ATOMIC_ACQUIRE);
    uint32_t tail = __atomic_load_n(&ring->tail, __ATOMIC_RELAXED);
    uint32_t n = 0;
    while (tail != head && n < max) {
        const uint8_t* slot = ring->slots[tail];
        for (uint32_t i = 0; i < DNETTEST_RECORD_SIZE; ++i) out[n * DNETTEST_RECORD_SIZE + i] = slot[i];
        tail = (tail + 1) & ring->mask;
        ++n;
    }
    __atomic_store_n(&ring->tail, tail, __ATOMIC_RELEASE);
    return n;
}

#ifdef __cplusplus
}
#endif

#endif /* TAMSEN_DNETTEST_H */
