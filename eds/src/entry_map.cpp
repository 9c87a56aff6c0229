#include "eds/entry_map.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "platform/no_coverage.h"

namespace DeviceNetEDS {

EntryMap::EntryMap(std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
    EntryMapBuilder builder;
    EntryMapBuilder::List list;
    for (const auto& [key, value] : entries) builder.Add(list, key, value);
    *this = builder.Build(std::move(list));
}

// Sorting and searching are the container's own mechanics, the same for every file: left out of
// a fuzzing build's coverage (the key comparisons still reach the fuzzer as memcmp calls).
NORVANE_NO_COVERAGE EntryMap::const_iterator EntryMap::lower_bound(std::string_view key) const {
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

void EntryMapBuilder::AddWritten(List& list, size_t at, size_t keyLength, size_t valueLength) {
    if (shared_) throw std::logic_error("EDS entries added after the maps were built");
    if (list.slots_.capacity() == 0) list.slots_.reserve(16);  // most sections are short
    list.slots_.push_back({at, keyLength, valueLength});
}

void EntryMapBuilder::Add(List& list, std::string_view key, std::string_view value) {
    const size_t at = text_.size();
    text_.append(key);
    text_.append(value);
    AddWritten(list, at, key.size(), value.size());
}

namespace {

// The first eight bytes of `text` from `from` on as a big-endian number, zero-padded: numbers
// compare like the bytes they hold.
uint64_t Prefix(std::string_view text, size_t from) {
    uint64_t value = 0;
    if (from < text.size()) std::memcpy(&value, text.data() + from, std::min<size_t>(8, text.size() - from));
    if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
    return value;
}

}  // namespace

NORVANE_NO_COVERAGE EntryMap EntryMapBuilder::Build(List&& list) {
    EntryMap map;
    if (list.slots_.empty()) return map;
    if (!shared_) shared_ = std::make_shared<const std::string>(std::move(text_));
    map.text_ = shared_;
    std::vector<EntryMap::Slot>& slots = list.slots_;
    auto keyLess = [&map](const EntryMap::Slot& a, const EntryMap::Slot& b) { return map.KeyOf(a) < map.KeyOf(b); };
    if (std::adjacent_find(slots.begin(), slots.end(), [&](const EntryMap::Slot& a, const EntryMap::Slot& b) {
            return !keyLess(a, b);
        }) == slots.end()) {
        // Added in key order without repeats, as small sections often are.
        map.slots_ = std::move(slots);
        return map;
    }
    // Of equal keys the one added last (the highest place in the buffer) ends its run, and only
    // that one is kept.
    if (slots.size() <= 64) {
        // Few entries: sorted in place on the whole keys.
        std::sort(slots.begin(), slots.end(), [&map](const EntryMap::Slot& a, const EntryMap::Slot& b) {
            const int c = map.KeyOf(a).compare(map.KeyOf(b));
            return c != 0 ? c < 0 : a.at < b.at;
        });
        size_t kept = 0;
        for (size_t i = 0; i < slots.size(); ++i) {
            if (i + 1 < slots.size() && map.KeyOf(slots[i]) == map.KeyOf(slots[i + 1])) continue;
            slots[kept++] = slots[i];
        }
        slots.resize(kept);
        map.slots_ = std::move(slots);
        return map;
    }
    // Many entries: sorted on the first sixteen key bytes held as two numbers, the whole keys
    // compared only when those are equal.
    struct SortKey {
        uint64_t high, low;
        size_t index;
    };
    std::vector<SortKey> order(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string_view key = map.KeyOf(slots[i]);
        order[i] = {Prefix(key, 0), Prefix(key, 8), i};
    }
    auto less = [&map, &slots](const SortKey& a, const SortKey& b) {
        if (a.high != b.high) return a.high < b.high;
        if (a.low != b.low) return a.low < b.low;
        const int c = map.KeyOf(slots[a.index]).compare(map.KeyOf(slots[b.index]));
        return c != 0 ? c < 0 : a.index < b.index;
    };
    std::sort(order.begin(), order.end(), less);
    map.slots_.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (i + 1 < order.size() && order[i].high == order[i + 1].high && order[i].low == order[i + 1].low &&
            map.KeyOf(slots[order[i].index]) == map.KeyOf(slots[order[i + 1].index]))
            continue;
        map.slots_.push_back(slots[order[i].index]);
    }
    std::vector<EntryMap::Slot>().swap(slots);  // the memory goes back before the next section's sort
    return map;
}

}  // namespace DeviceNetEDS
