// A host for the application services that reports nothing: no message box may stop a
// measurement.
#pragma once

#include "services/host.h"

namespace bench {

class QuietHost : public name_share::IHost {
public:
    int ShowMessageBox(const name_share::MessageBoxRequest&) override { return 1; }
    void AppendLogRow(const name_share::LogRow&) override {}
};

}  // namespace bench
