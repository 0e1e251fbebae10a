#pragma once
// One of the eight sequences of the play history, seen through the array of
// records: element i is field `F` of record i. Cheap to copy; it stays valid
// until the history grows, shrinks or is destroyed.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <type_traits>

#include "machine/game_record.h"

namespace morvane {

using Field = std::int32_t GameRecord::*;

template <class T>  // std::int32_t or const std::int32_t
class ColumnView {
    using Record = std::conditional_t<std::is_const_v<T>, const GameRecord, GameRecord>;

public:
    class iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = std::int32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        iterator() = default;
        iterator(Record* r, Field f) : r_(r), f_(f) {}
        T& operator*() const { return r_->*f_; }
        T& operator[](difference_type n) const { return r_[n].*f_; }
        iterator& operator++() {
            ++r_;
            return *this;
        }
        iterator operator++(int) {
            iterator t = *this;
            ++r_;
            return t;
        }
        iterator& operator--() {
            --r_;
            return *this;
        }
        iterator operator--(int) {
            iterator t = *this;
            --r_;
            return t;
        }
        iterator& operator+=(difference_type n) {
            r_ += n;
            return *this;
        }
        iterator& operator-=(difference_type n) {
            r_ -= n;
            return *this;
        }
        friend iterator operator+(iterator i, difference_type n) { return i += n; }
        friend iterator operator+(difference_type n, iterator i) { return i += n; }
        friend iterator operator-(iterator i, difference_type n) { return i -= n; }
        friend difference_type operator-(const iterator& a, const iterator& b) { return a.r_ - b.r_; }
        friend bool operator==(const iterator& a, const iterator& b) { return a.r_ == b.r_; }
        friend auto operator<=>(const iterator& a, const iterator& b) { return a.r_ <=> b.r_; }

    private:
        Record* r_ = nullptr;
        Field f_ = nullptr;
    };

    ColumnView(Record* records, std::size_t size, Field field) : records_(records), size_(size), field_(field) {}
    // A mutable column reads as a constant one.
    operator ColumnView<const std::int32_t>() const { return {records_, size_, field_}; }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) const { return records_[i].*field_; }
    T& at(std::size_t i) const {
        if (i >= size_) throw std::out_of_range("history index out of range");
        return records_[i].*field_;
    }
    T& front() const { return (*this)[0]; }
    T& back() const { return (*this)[size_ - 1]; }
    iterator begin() const { return {records_, field_}; }
    iterator end() const { return {records_ + size_, field_}; }

    // The first value's address and the distance between values, for code
    // that walks the column without knowing the record (the charts).
    T* first() const { return size_ ? &(records_->*field_) : nullptr; }
    static constexpr std::size_t kStrideBytes = sizeof(GameRecord);

private:
    Record* records_;
    std::size_t size_;
    Field field_;
};

using Column = ColumnView<const std::int32_t>;
using MutableColumn = ColumnView<std::int32_t>;

}  // namespace morvane
