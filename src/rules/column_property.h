#pragma once
// A fixed look for every cell of one column, or the column left out.

#include <string>
#include <string_view>
#include <vector>

#include "rule_style.h"

struct ColumnProperty {
    std::wstring ColumnName;
    RuleStyle style;
    bool IsHide = false;
};

// Same column name, saved look and hidden flag.
bool SameColumnProperty(const ColumnProperty& a, const ColumnProperty& b);

// The first property whose ColumnName equals name exactly; null when none.
const ColumnProperty* FindColumnProperty(const std::vector<ColumnProperty>& properties, std::wstring_view name);
