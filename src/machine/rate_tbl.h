#pragma once
// One weight table: outcome i has weight i; a value past every weight is an
// outcome of its own (index == size).
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace morvane {

template <class T>
class Rate_TBL {
public:
    Rate_TBL() = default;
    Rate_TBL(std::initializer_list<T> w) : weights_(w) {}

    void Clear() { weights_.clear(); }
    void Add(T w) { weights_.push_back(w); }
    int Size() const { return static_cast<int>(weights_.size()); }
    T operator[](int i) const { return weights_[static_cast<std::size_t>(i)]; }
    T Sum() const {
        T s = 0;
        for (T w : weights_) s += w;
        return s;
    }

    // Cumulative lookup: the first i with sum(w[0..i-1]) <= a < sum(w[0..i]).
    int Lookup(T a) const {
        T sum = 0;
        const int n = Size();
        for (int i = 0; i < n; ++i) {
            const T next = sum + weights_[static_cast<std::size_t>(i)];
            if (sum <= a && a < next) return i;
            sum = next;
        }
        return n;
    }

private:
    std::vector<T> weights_;
};

}  // namespace morvane
