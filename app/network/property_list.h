// The content of the property pane for a network node, independent of any widget: categories of
// read-only items (caption and text value, numbers shown in decimal), with sub-categories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDeviceBase;

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

// The categories for a master or a slave (none for nullptr); captions from the current language.
std::vector<PropertyCategory> BuildNodeProperties(const CDeviceBase* node);
