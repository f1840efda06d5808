#include "column_widths.h"

#include <algorithm>

std::vector<double> BalanceColumns(std::vector<double> natural, std::vector<double> minimum, double available) {
    const size_t columns = std::min(natural.size(), minimum.size());
    double naturalTotal = 0, minimumTotal = 0;
    for (size_t c = 0; c < columns; ++c) {
        natural[c] = std::min(natural[c], available);
        minimum[c] = std::min(minimum[c], natural[c]);
        naturalTotal += natural[c];
        minimumTotal += minimum[c];
    }
    natural.resize(columns);
    if (naturalTotal <= available || columns == 0) return natural;
    std::vector<double> widths(columns);
    for (size_t c = 0; c < columns; ++c) {
        widths[c] = minimumTotal >= available
                        ? minimum[c] * available / minimumTotal
                        : minimum[c] + (available - minimumTotal) * (natural[c] - minimum[c]) /
                                           (naturalTotal - minimumTotal);
    }
    return widths;
}

ColumnBands SplitIntoBands(const std::vector<double>& natural, const std::vector<double>& minimum,
                           double available, double minimumWidth) {
    const size_t columns = std::min(natural.size(), minimum.size());
    ColumnBands bands;
    if (columns == 0) return bands;
    std::vector<double> need(columns);
    for (size_t c = 0; c < columns; ++c)
        need[c] = std::min({natural[c], std::max(minimum[c], minimumWidth), available});
    bands.widths.assign(columns, 0);
    bands.widths[0] = std::min(std::max(need[0], std::min(natural[0], available / 4)), available / 3);
    const double rest = available - bands.widths[0];
    for (size_t c = 1; c < columns;) {
        const size_t begin = c;
        double used = 0;
        while (c < columns && (c == begin || used + std::min(need[c], rest) <= rest))
            used += std::min(need[c++], rest);
        const std::vector<double> balanced =
            BalanceColumns(std::vector<double>(natural.begin() + static_cast<std::ptrdiff_t>(begin),
                                               natural.begin() + static_cast<std::ptrdiff_t>(c)),
                           std::vector<double>(need.begin() + static_cast<std::ptrdiff_t>(begin),
                                               need.begin() + static_cast<std::ptrdiff_t>(c)),
                           rest);
        std::copy(balanced.begin(), balanced.end(),
                  bands.widths.begin() + static_cast<std::ptrdiff_t>(begin));
        bands.starts.push_back(begin);
    }
    return bands;
}
