// The raw entries of one EDS section: key -> value, ordered by plain byte comparison.
//
// Keys and values lie one after another in a text buffer that the maps made from one scan share
// (it is never changed once a map holds it); each map holds a sorted list of places in that
// buffer. A section of twenty thousand entries so costs one allocation instead of a tree node
// and a string or two per entry, and a copy of the map is one block copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
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
        text_.reset();
        slots_.clear();
    }

    friend bool operator==(const EntryMap& a, const EntryMap& b);

private:
    friend class EntryMapBuilder;

    EntryText KeyOf(const Slot& s) const { return std::string_view(text_->data() + s.at, s.keyLength); }
    Entry EntryAt(const Slot& s) const {
        return {KeyOf(s), std::string_view(text_->data() + s.at + s.keyLength, s.valueLength)};
    }

    std::shared_ptr<const std::string> text_;  // null while there are no entries
    std::vector<Slot> slots_;  // sorted by key, one per key
};

// Collects the entries of one or more sections in the order they come, their texts into one
// buffer, and then sorts each section's entries into an EntryMap that shares the buffer. Of
// entries of one section with the same key, the one added last stays.
class EntryMapBuilder {
public:
    // The entries of one section, in the order added.
    class List {
    public:
        bool empty() const { return slots_.empty(); }

    private:
        friend class EntryMapBuilder;
        std::vector<EntryMap::Slot> slots_;
    };

    // The buffer that entries are written into; Build ends the writing.
    std::string& Text() { return text_; }
    // Takes the key of `keyLength` bytes at `at` and the value of `valueLength` bytes right after
    // it, both already written into the buffer, as an entry of `list`.
    void AddWritten(List& list, size_t at, size_t keyLength, size_t valueLength);
    // Writes key and value into the buffer and adds them to `list`.
    void Add(List& list, std::string_view key, std::string_view value);
    // The map of `list`. The first call hands the buffer over to the maps: entries added after
    // it are refused (std::logic_error).
    EntryMap Build(List&& list);

private:
    std::string text_;
    std::shared_ptr<const std::string> shared_;  // the buffer, once Build took it over
};

}  // namespace DeviceNetEDS
