// The master API the network model calls: a table of the sixteen functions. By default the
// functions of the linked libvarda.so; a test installs a table of its own to script the adapter
// in-process.
#pragma once

#include "varda_functions.h"

namespace netsvc {

// The functions of the linked libvarda.so.
const VardaFunctions& LinkedMasterApi();

// The table in use: the installed one, else the linked functions. Read by the status poller
// threads too.
const VardaFunctions& MasterApi();

// Installs `table` (nullptr: back to the linked functions). The table must outlive its use and
// have every entry set; installing happens while no master runs.
void SetMasterApi(const VardaFunctions* table);

// Installs a table for the lifetime of the object and puts back the one before.
class ScopedMasterApi {
public:
    explicit ScopedMasterApi(const VardaFunctions& table);
    ~ScopedMasterApi();
    ScopedMasterApi(const ScopedMasterApi&) = delete;
    ScopedMasterApi& operator=(const ScopedMasterApi&) = delete;

private:
    const VardaFunctions* previous_;
};

}  // namespace netsvc
