#include "network/slave_eds.h"

int LoadSlaveEds(SlaveEds& eds, const std::string& path) {
    eds.path = path;
    int loaded = eds.description.Load(path);
    eds.parameters = eds.description.Params();
    return loaded;
}
