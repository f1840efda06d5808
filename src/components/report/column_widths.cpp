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
