#pragma once
// Column widths of a table from what its first rows measure, shared by the paged formats (PDF, RTF).

#include <vector>

// Natural widths (each column's widest line unwrapped) when they fit available; otherwise every column gets its
// minimum (its widest word, a value with no break opportunity) and the rest of the width goes to the columns in
// proportion to what they lack, so short columns (ids, dates, amounts) keep their values on one line and long
// texts take the rest. When even the minimums do not fit, the minimums shrink in proportion. Units are the
// caller's; natural and minimum have one entry per column.
std::vector<double> BalanceColumns(std::vector<double> natural, std::vector<double> minimum, double available);
