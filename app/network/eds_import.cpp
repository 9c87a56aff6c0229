#include "network/eds_import.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "resources/ui_texts.h"
#include "services/eds_store.h"

EdsImportOutcome ImportEdsFile(EdsStore& store, const std::string& sourcePath) {
    EdsImportOutcome outcome;
    const std::filesystem::path source(sourcePath);
    outcome.name = source.stem().string();
    std::error_code ec;
    std::ifstream probe(source, std::ios::binary);
    if (outcome.name.empty() || !std::filesystem::is_regular_file(source, ec) || !probe) {
        outcome.message = resources::FormatText(resource_ids::kTextCannotReadEds, sourcePath.c_str());
        return outcome;
    }
    const std::vector<std::string>& names = store.Names();
    auto it = std::find(names.begin(), names.end(), outcome.name);
    if (it != names.end()) {
        outcome.status = EdsImportOutcome::Status::kNameExists;
        outcome.position = static_cast<int>(it - names.begin());
        outcome.message = resources::Text(resource_ids::kTextEdsNameExists);
        return outcome;
    }
    const EdsStore::ImportResult result = store.Import(sourcePath);
    outcome.position = result.position;
    if (!result.copied) {
        outcome.status = EdsImportOutcome::Status::kCopyFailed;
        outcome.message = resources::FormatText(resource_ids::kTextCannotCopyEds, result.target.c_str());
        return outcome;
    }
    outcome.status = EdsImportOutcome::Status::kImported;
    return outcome;
}
