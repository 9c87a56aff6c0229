#include "eds/entry_map.h"

#include <algorithm>
#include <stdexcept>

namespace DeviceNetEDS {

EntryMap::EntryMap(std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
    EntryMapBuilder builder;
    for (const auto& [key, value] : entries) builder.Add(key, value);
    *this = std::move(builder).Build();
}

EntryMap::const_iterator EntryMap::lower_bound(std::string_view key) const {
    const Slot* slot = std::lower_bound(slots_.data(), slots_.data() + slots_.size(), key,
                                        [this](const Slot& s, std::string_view k) { return KeyOf(s) < k; });
    return {this, slot};
}

EntryMap::const_iterator EntryMap::find(std::string_view key) const {
    const_iterator it = lower_bound(key);
    return it != end() && it->first == key ? it : end();
}

EntryText EntryMap::at(std::string_view key) const {
    const_iterator it = find(key);
    if (it == end()) throw std::out_of_range("EDS entry not found");
    return it->second;
}

bool operator==(const EntryMap& a, const EntryMap& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Entry& x, const Entry& y) {
               return x.first == y.first && x.second == y.second;
           });
}

void EntryMapBuilder::Add(std::string_view key, std::string_view value) {
    EntryMap::Slot slot{map_.text_.size(), key.size(), value.size()};
    map_.text_.append(key);
    map_.text_.append(value);
    map_.slots_.push_back(slot);
}

namespace {

// The first eight bytes of `text` from `from` on as a big-endian number, zero-padded: numbers
// compare like the bytes they hold.
uint64_t Prefix(std::string_view text, size_t from) {
    unsigned char bytes[8] = {};
    if (from < text.size()) text.copy(reinterpret_cast<char*>(bytes), 8, from);
    uint64_t value = 0;
    for (unsigned char b : bytes) value = value << 8 | b;
    return value;
}

}  // namespace

EntryMap EntryMapBuilder::Build() && {
    std::vector<EntryMap::Slot>& slots = map_.slots_;
    // Sorted on the first sixteen key bytes held as two numbers, the whole keys compared only when
    // those are equal, and the order of adding last: of equal keys the one added last ends its
    // run, and only that one is kept.
    struct SortKey {
        uint64_t high, low;
        size_t index;
    };
    std::vector<SortKey> order(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string_view key = map_.KeyOf(slots[i]);
        order[i] = {Prefix(key, 0), Prefix(key, 8), i};
    }
    auto less = [this, &slots](const SortKey& a, const SortKey& b) {
        if (a.high != b.high) return a.high < b.high;
        if (a.low != b.low) return a.low < b.low;
        const int c = map_.KeyOf(slots[a.index]).compare(map_.KeyOf(slots[b.index]));
        return c != 0 ? c < 0 : a.index < b.index;
    };
    if (!std::is_sorted(order.begin(), order.end(), less)) std::sort(order.begin(), order.end(), less);
    std::vector<EntryMap::Slot> sorted;
    sorted.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i + 1 < order.size() && order[i].high == order[i + 1].high && order[i].low == order[i + 1].low &&
            map_.KeyOf(slots[order[i].index]) == map_.KeyOf(slots[order[i + 1].index]))
            continue;
        sorted.push_back(slots[order[i].index]);
    }
    slots = std::move(sorted);
    return std::move(map_);
}

}  // namespace DeviceNetEDS
