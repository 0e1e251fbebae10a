#pragma once
// The vector loops the purchase passes spend their time in, built for AVX2
// too where the compiler can: out[i] += w in[i], and a dot product.
namespace morvane {

void AddScaled(double* out, const double* in, double w, int n);
// Four sums side by side, so that each add need not wait on the last.
double Dot(const double* a, const double* b, int n);

}  // namespace morvane
