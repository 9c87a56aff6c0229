// Records by their entry number (the N of "ParamN"), in ascending order, held in one vector.
// Read like a std::map<int32_t, T>: iteration gives (number, record) pairs, find() looks a
// number up. Numbers cannot be changed from outside, records only through Find.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

namespace DeviceNetEDS {

template <typename T>
class NumberedMap {
public:
    using value_type = std::pair<int32_t, T>;
    using const_iterator = typename std::vector<value_type>::const_iterator;
    using iterator = const_iterator;
    using size_type = size_t;

    bool empty() const { return items_.empty(); }
    size_t size() const { return items_.size(); }
    const_iterator begin() const { return items_.begin(); }
    const_iterator end() const { return items_.end(); }

    const_iterator find(int32_t number) const {
        auto it = LowerBound(number);
        return it != items_.end() && it->first == number ? it : items_.end();
    }
    size_t count(int32_t number) const { return find(number) == end() ? 0 : 1; }

    // The record of that number for changing it in place, or nullptr.
    T* Find(int32_t number) {
        auto it = LowerBound(number);
        return it != items_.end() && it->first == number ? &it->second : nullptr;
    }

    void clear() { items_.clear(); }
    void reserve(size_t n) { items_.reserve(n); }
    // Adds an empty record after the last one, to be filled in; `number` must be greater than
    // every number held.
    T& Append(int32_t number) {
        return items_.emplace_back(std::piecewise_construct, std::forward_as_tuple(number), std::forward_as_tuple())
            .second;
    }

    friend bool operator==(const NumberedMap&, const NumberedMap&) = default;

private:
    typename std::vector<value_type>::iterator LowerBound(int32_t number) {
        return std::lower_bound(items_.begin(), items_.end(), number,
                                [](const value_type& item, int32_t n) { return item.first < n; });
    }
    const_iterator LowerBound(int32_t number) const {
        return std::lower_bound(items_.begin(), items_.end(), number,
                                [](const value_type& item, int32_t n) { return item.first < n; });
    }

    std::vector<value_type> items_;
};

}  // namespace DeviceNetEDS
