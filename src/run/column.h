#pragma once
// A growable sequence of 32-bit integers whose growth leaves new elements
// uninitialised: a run writes every element anyway, and zero-filling hundreds
// of megabytes first would cost as much as playing the games.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

namespace morvane {

class Column {
public:
    Column() = default;
    Column(const Column& o) { *this = o; }
    Column& operator=(const Column& o) {
        if (this != &o) {
            clear();
            reserve(o.size_);
            if (o.size_) std::memcpy(data_.get(), o.data_.get(), o.size_ * sizeof(std::int32_t));
            size_ = o.size_;
        }
        return *this;
    }
    Column(Column&&) noexcept = default;
    Column& operator=(Column&&) noexcept = default;

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    // Keeps the storage for the next run.
    void clear() { size_ = 0; }

    void reserve(std::size_t n) {
        if (n <= capacity_) return;
        Storage p = Allocate(n);
        if (size_) std::memcpy(p.get(), data_.get(), size_ * sizeof(std::int32_t));
        data_ = std::move(p);
        capacity_ = n;
    }
    // Grows to n elements; new elements are indeterminate until written.
    void resize_for_overwrite(std::size_t n) {
        reserve(n);
        size_ = n;
    }
    void push_back(std::int32_t v) {
        if (size_ == capacity_) reserve(capacity_ ? capacity_ * 2 : 16);
        data_[size_++] = v;
    }

    std::int32_t operator[](std::size_t i) const { return data_[i]; }
    std::int32_t& operator[](std::size_t i) { return data_[i]; }
    std::int32_t at(std::size_t i) const;
    const std::int32_t* data() const { return data_.get(); }
    std::int32_t* data() { return data_.get(); }
    const std::int32_t* begin() const { return data_.get(); }
    const std::int32_t* end() const { return data_.get() + size_; }
    std::span<const std::int32_t> span() const { return {data_.get(), size_}; }

    friend bool operator==(const Column& a, const Column& b) {
        return a.size_ == b.size_ &&
               (a.size_ == 0 || std::memcmp(a.data_.get(), b.data_.get(), a.size_ * sizeof(std::int32_t)) == 0);
    }

private:
    struct Free {
        void operator()(std::int32_t* p) const;
    };
    using Storage = std::unique_ptr<std::int32_t[], Free>;
    // Large columns come in huge pages where the system offers them: fresh
    // memory is slow to touch page by page.
    static Storage Allocate(std::size_t n);

    Storage data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace morvane
