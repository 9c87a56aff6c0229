// The main window's EDS import: a file chosen anywhere is copied into the EDS folder (the user's
// when the program's cannot be written) under its own file name and its name is listed; a copy
// that fails lists nothing. A name the store already lists is refused, so a file in the
// folder is never replaced by another of the same name.
#pragma once

#include <string>

class EdsStore;

struct EdsImportOutcome {
    enum class Status { kImported, kNameExists, kUnreadable, kCopyFailed };
    Status status = Status::kUnreadable;
    int position = -1;  // the name's position in the store (the existing one for kNameExists)
    std::string name;  // the file name without folder and extension
    std::string message;  // what to tell the user; empty when imported
};

EdsImportOutcome ImportEdsFile(EdsStore& store, const std::string& sourcePath);
