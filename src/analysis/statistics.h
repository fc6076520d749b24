#pragma once
// The small statistics the detector and the measurements share.

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace analysis {

// The median (the mean of the middle two for an even count); 0 for none.
inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    const size_t m = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + long(m), v.end());
    if (v.size() % 2)
        return v[m];
    const double hi = v[m];
    return (*std::max_element(v.begin(), v.begin() + long(m)) + hi) / 2;
}

// Pearson correlation of two equally long vectors; 0 when either is flat.
inline double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.empty() || a.size() != b.size())
        return 0.0;
    const double n = double(a.size());
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / n;
    const double mb = std::accumulate(b.begin(), b.end(), 0.0) / n;
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
}

} // namespace analysis
