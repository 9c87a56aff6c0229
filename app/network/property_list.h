// The content of the property pane for a network node, independent of any widget: categories of
// read-only items (caption and text value, numbers shown in decimal), with sub-categories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDeviceBase;
class CServerDev;

struct PropertyItem {
    uint32_t captionId = 0;
    std::string caption;
    std::string value;
    bool isNumber = false;  // a number item (signed decimal); otherwise a text item

    bool operator==(const PropertyItem&) const = default;
};

struct PropertyCategory {
    uint32_t captionId = 0;
    std::string caption;
    std::vector<PropertyItem> items;
    std::vector<PropertyCategory> children;

    bool operator==(const PropertyCategory&) const = default;
};

// The facts about a master that the data view and the property pane show.
struct MasterSummary {
    bool running = false;
    std::string cardName;  // empty without a card
    int64_t cardType = 0;
    int64_t macId = 0;
    int64_t channelCount = 0;
    int64_t channel = 0;
    std::string baudName;
    int64_t slaveCount = 0;
};
MasterSummary SummarizeMaster(const CServerDev& master);

// The data view's six "caption:value" lines of a master (strings 61448 to 61453).
std::vector<std::string> MasterPanelLines(const CServerDev& master);

// The categories for a master (none for nullptr); captions from the current language.
std::vector<PropertyCategory> BuildNodeProperties(const CDeviceBase* node);
