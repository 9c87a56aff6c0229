// The raw entries of one EDS section: key -> value, ordered by plain byte comparison.
//
// Keys and values lie one after another in a single text buffer owned by the map; the map holds
// a sorted list of places in that buffer. A section of twenty thousand entries so costs two
// allocations instead of a tree node and a string or two per entry, and a copy of the map is two
// block copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace DeviceNetEDS {

// The text of a key or value: a view into the map's buffer, valid while the map is alive and
// unchanged. It converts to std::string for callers that keep the text.
class EntryText : public std::string_view {
public:
    constexpr EntryText() = default;
    constexpr EntryText(std::string_view text) : std::string_view(text) {}
    operator std::string() const { return std::string(data(), size()); }
};

// One entry, as the iterators of EntryMap give it.
struct Entry {
    EntryText first;  // the key
    EntryText second;  // the value
};

class EntryMapBuilder;

class EntryMap {
    // Where an entry's texts lie in the buffer: the key at `at`, the value right after it.
    struct Slot {
        size_t at = 0;
        size_t keyLength = 0;
        size_t valueLength = 0;
    };

public:
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using reference = Entry;
        using pointer = void;

        // What operator-> points into: the entry, held for the length of the expression.
        struct Arrow {
            Entry entry;
            const Entry* operator->() const { return &entry; }
        };

        const_iterator() = default;

        Entry operator*() const { return map_->EntryAt(*slot_); }
        Arrow operator->() const { return Arrow{**this}; }
        Entry operator[](difference_type n) const { return *(*this + n); }

        const_iterator& operator++() {
            ++slot_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++slot_;
            return old;
        }
        const_iterator& operator--() {
            --slot_;
            return *this;
        }
        const_iterator operator--(int) {
            const_iterator old = *this;
            --slot_;
            return old;
        }
        const_iterator& operator+=(difference_type n) {
            slot_ += n;
            return *this;
        }
        const_iterator& operator-=(difference_type n) {
            slot_ -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) { return a.slot_ - b.slot_; }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.slot_ == b.slot_; }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.slot_ <=> b.slot_; }

    private:
        friend class EntryMap;
        const_iterator(const EntryMap* map, const Slot* slot) : map_(map), slot_(slot) {}

        const EntryMap* map_ = nullptr;
        const Slot* slot_ = nullptr;
    };
    using iterator = const_iterator;
    using key_type = std::string_view;
    using value_type = Entry;
    using size_type = size_t;

    EntryMap() = default;
    // Later pairs of the same key replace earlier ones.
    EntryMap(std::initializer_list<std::pair<std::string_view, std::string_view>> entries);

    bool empty() const { return slots_.empty(); }
    size_t size() const { return slots_.size(); }
    const_iterator begin() const { return {this, slots_.data()}; }
    const_iterator end() const { return {this, slots_.data() + slots_.size()}; }

    // The entry of that key, or end().
    const_iterator find(std::string_view key) const;
    // The first entry whose key is not less than `key`.
    const_iterator lower_bound(std::string_view key) const;
    size_t count(std::string_view key) const { return find(key) == end() ? 0 : 1; }
    // The value of that key; throws std::out_of_range when there is none.
    EntryText at(std::string_view key) const;

    void clear() {
        text_.clear();
        slots_.clear();
    }

    friend bool operator==(const EntryMap& a, const EntryMap& b);

private:
    friend class EntryMapBuilder;

    EntryText KeyOf(const Slot& s) const { return std::string_view(text_).substr(s.at, s.keyLength); }
    Entry EntryAt(const Slot& s) const {
        return {KeyOf(s), std::string_view(text_).substr(s.at + s.keyLength, s.valueLength)};
    }

    std::string text_;
    std::vector<Slot> slots_;  // sorted by key, one per key
};

// Collects entries in the order they come, then sorts them into an EntryMap; of entries with
// the same key the one added last stays.
class EntryMapBuilder {
public:
    void Add(std::string_view key, std::string_view value);
    bool empty() const { return map_.slots_.empty(); }
    EntryMap Build() &&;

private:
    EntryMap map_;  // entries in the order added until Build sorts them
};

}  // namespace DeviceNetEDS
