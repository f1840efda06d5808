#include "column_property.h"

bool SameColumnProperty(const ColumnProperty& a, const ColumnProperty& b) {
    return a.ColumnName == b.ColumnName && a.IsHide == b.IsHide && SameStyle(a.style, b.style);
}

const ColumnProperty* FindColumnProperty(const std::vector<ColumnProperty>& properties, std::wstring_view name) {
    for (const ColumnProperty& property : properties) {
        if (property.ColumnName == name) return &property;
    }
    return nullptr;
}
