#pragma once
// Splits a script into statements on ";" outside string literals, quoted identifiers, comments and
// PostgreSQL dollar quotes.

#include <string>
#include <vector>

class CParse {
public:
    // Fills the statements of script in order; empty statements do not count. Returns the count.
    int Parse(const std::wstring& script, int);
    int Count() const { return static_cast<int>(m_statements.size()); }
    // Statement i, from 0, trimmed of surrounding white space.
    const std::wstring& Statement(int index) const { return m_statements[static_cast<size_t>(index)]; }
    const std::vector<std::wstring>& Statements() const { return m_statements; }
    void Clear() { m_statements.clear(); }

private:
    std::vector<std::wstring> m_statements;
};
