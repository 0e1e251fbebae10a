#pragma once
// Dense linear solve for the small chains of the analysis (tens of states).
#include <cstddef>
#include <vector>

namespace morvane {

class Matrix {
public:
    Matrix(int rows, int cols) : rows_(rows), cols_(cols), a_(static_cast<std::size_t>(rows) * cols, 0.0) {}
    double& operator()(int r, int c) { return a_[static_cast<std::size_t>(r) * cols_ + c]; }
    double operator()(int r, int c) const { return a_[static_cast<std::size_t>(r) * cols_ + c]; }
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }

private:
    int rows_, cols_;
    std::vector<double> a_;
};

// x with a x = b, by Gaussian elimination with partial pivoting. Throws
// std::runtime_error when a is singular.
std::vector<double> Solve(Matrix a, std::vector<double> b);

}  // namespace morvane
