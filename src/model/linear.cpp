#include "model/linear.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace morvane {

std::vector<double> Solve(Matrix a, std::vector<double> b) {
    const int n = a.Rows();
    if (a.Cols() != n || static_cast<int>(b.size()) != n) throw std::invalid_argument("Solve needs a square system");
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::abs(a(r, col)) > std::abs(a(pivot, col))) pivot = r;
        if (a(pivot, col) == 0) throw std::runtime_error("singular system");
        if (pivot != col) {
            for (int c = 0; c < n; ++c) std::swap(a(pivot, c), a(col, c));
            std::swap(b[pivot], b[col]);
        }
        for (int r = col + 1; r < n; ++r) {
            const double f = a(r, col) / a(col, col);
            if (f == 0) continue;
            for (int c = col; c < n; ++c) a(r, c) -= f * a(col, c);
            b[r] -= f * b[col];
        }
    }
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int r = n - 1; r >= 0; --r) {
        double s = b[r];
        for (int c = r + 1; c < n; ++c) s -= a(r, c) * x[c];
        x[r] = s / a(r, r);
    }
    return x;
}

}  // namespace morvane
