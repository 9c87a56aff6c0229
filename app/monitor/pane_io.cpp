#include "monitor/pane_io.h"

#include "monitor/data_pane_io.h"
#include "network/master_api_table.h"
#include "network/slave_dev.h"

namespace monitor {

PaneIo::PaneIo(int type, CSlaveDev& slave, const VardaFunctions* api) : type_(type), slave_(&slave), api_(api) {}

const VardaFunctions& PaneIo::Api() const { return api_ != nullptr ? *api_ : netsvc::MasterApi(); }

bool PaneIo::SlaveAlive() {
    if (slave_ != nullptr && !IsInNetwork(slave_)) slave_ = nullptr;
    return slave_ != nullptr;
}

PaneIo::Outcome PaneIo::Check() {
    if (!SlaveAlive()) return Outcome::kGone;
    return slave_->IsRunning() != 0 ? Outcome::kDone : Outcome::kOffline;
}

PaneIo::Outcome PaneIo::Read(uint8_t size, std::vector<uint8_t>& bytes) {
    if (const Outcome state = Check(); state != Outcome::kDone) return state;
    return ReadPane(TargetOf(*slave_), type_, size, bytes, Api()) == 0 ? Outcome::kDone : Outcome::kFailed;
}

PaneIo::Outcome PaneIo::Write(std::span<uint8_t> bytes, bool increment) {
    if (const Outcome state = Check(); state != Outcome::kDone) return state;
    if (increment) IncrementBytes(bytes);
    return WritePane(TargetOf(*slave_), type_, bytes, Api()) == 0 ? Outcome::kDone : Outcome::kFailed;
}

PaneIo::Outcome PaneIo::Strobe(bool strobed) {
    if (const Outcome state = Check(); state != Outcome::kDone) return state;
    return WriteStrobe(TargetOf(*slave_), strobed, Api()) == 0 ? Outcome::kDone : Outcome::kFailed;
}

}  // namespace monitor
