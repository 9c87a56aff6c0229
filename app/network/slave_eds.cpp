#include "network/slave_eds.h"

#include <algorithm>
#include <filesystem>

const DeviceNetEDS::CParamsInfo& FileParameters(const SlaveEds& eds) { return eds.description.Params(); }

int LoadSlaveEds(SlaveEds& eds, const std::string& path, const std::string& baseDir) {
    eds.path = path;
    std::string readFrom = path;
    if (!path.empty() && !baseDir.empty()) {
        std::string local = path;
        std::replace(local.begin(), local.end(), '\\', '/');
        std::filesystem::path p(local);
        if (p.is_relative()) readFrom = (std::filesystem::path(baseDir) / p).string();
    }
    int loaded = eds.description.Load(readFrom);
    eds.parameters = FileParameters(eds);
    return loaded;
}
