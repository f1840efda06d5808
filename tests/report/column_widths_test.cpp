// Column bands of a table too wide for a page: every band fits the page beside the repeated first column, and
// no column gets less than its widest word or the minimum width (unless its values are narrower).

#include "column_widths.h"

#include <gtest/gtest.h>

#include <numeric>

TEST(ColumnWidths, BandsFitThePageAndKeepEveryWord) {
    constexpr double kAvailable = 500, kMinimumWidth = 48;
    std::vector<double> natural, minimum;
    for (int c = 0; c < 300; ++c) {
        const bool prose = c % 7 == 3, narrow = c % 11 == 0;
        natural.push_back(prose ? 900 : narrow ? 20 : 40 + c % 30);
        minimum.push_back(prose ? 70 : narrow ? 20 : 40 + c % 30);
    }
    minimum[150] = natural[150] = 800;  // one word wider than the page
    const ColumnBands bands = SplitIntoBands(natural, minimum, kAvailable, kMinimumWidth);
    ASSERT_EQ(bands.widths.size(), natural.size());
    ASSERT_FALSE(bands.starts.empty());
    EXPECT_EQ(bands.starts.front(), 1u);
    EXPECT_LE(bands.widths[0], kAvailable / 3);
    for (size_t b = 0; b < bands.starts.size(); ++b) {
        const size_t end = b + 1 < bands.starts.size() ? bands.starts[b + 1] : natural.size();
        ASSERT_LT(bands.starts[b], end);
        const double width =
            std::accumulate(bands.widths.begin() + static_cast<std::ptrdiff_t>(bands.starts[b]),
                            bands.widths.begin() + static_cast<std::ptrdiff_t>(end), bands.widths[0]);
        EXPECT_LE(width, kAvailable + 1e-6) << "band " << b;
    }
    for (size_t c = 1; c < natural.size(); ++c) {
        const double expected =
            std::min({natural[c], std::max(minimum[c], kMinimumWidth), kAvailable - bands.widths[0]});
        EXPECT_GE(bands.widths[c], expected - 1e-6) << "column " << c;
    }
    // About ten columns a band: dozens of pages for three hundred columns, not hundreds.
    EXPECT_GT(bands.starts.size(), 300u / 12);
    EXPECT_LT(bands.starts.size(), 300u / 5);
}
