#pragma once
// 64-bit FNV-1a, the bench signature's hash.
#include <cstddef>
#include <cstdint>

namespace morvane {

class Fnv1a {
public:
    void Update(const char* p, std::size_t n) {
        std::uint64_t h = h_;
        for (std::size_t i = 0; i < n; ++i) {
            h ^= static_cast<unsigned char>(p[i]);
            h *= 0x100000001b3ULL;
        }
        h_ = h;
    }
    std::uint64_t Value() const { return h_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325ULL;
};

}  // namespace morvane
