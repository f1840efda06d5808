#pragma once
// Column widths of a table from what its first rows measure, shared by the paged formats (PDF, RTF).

#include <cstddef>
#include <vector>

// Natural widths (each column's widest line unwrapped) when they fit available; otherwise every column gets its
// minimum (its widest word, a value with no break opportunity) and the rest of the width goes to the columns in
// proportion to what they lack, so short columns (ids, dates, amounts) keep their values on one line and long
// texts take the rest. When even the minimums do not fit, the minimums shrink in proportion. Units are the
// caller's; natural and minimum have one entry per column.
std::vector<double> BalanceColumns(std::vector<double> natural, std::vector<double> minimum, double available);

// A table too wide for one page, split into bands of columns that each fill a page. The first column is
// repeated on every band (it names the row), so it keeps at most a third of the width. Every column gets at
// least minimumWidth (or its natural width when that is smaller) and its widest word, up to what a page
// holds; within a band the rest of the width is balanced as BalanceColumns does.
struct ColumnBands {
    std::vector<double> widths;  // per column
    std::vector<size_t> starts;  // the first column of each band after the repeated first column
};
ColumnBands SplitIntoBands(const std::vector<double>& natural, const std::vector<double>& minimum,
                           double available, double minimumWidth);
