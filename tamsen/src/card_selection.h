// The choice of the adapter for DNetTest_StartDrv.
#pragma once

#include <cstdint>

namespace tamsen {

inline constexpr uint32_t kCardCancelled = 2;

// (index x 256) + 1 for the chosen adapter index 0 to 7, or kCardCancelled.
// $TAMSEN_TEST_CARD "0".."7" chooses, "cancel" (or anything else) cancels; without it the prompt
// "CardIndex [0-7]:" asks on the controlling terminal; without a terminal the choice is cancelled.
uint32_t SelectCard();

}  // namespace tamsen
