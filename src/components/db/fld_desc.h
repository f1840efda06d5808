#pragma once
// Type codes are the ODBC SQL type codes; these classify them.

enum SQL_TYPE_CODE {
    TC_CHAR = 1, TC_NUMERIC = 2, TC_DECIMAL = 3, TC_INTEGER = 4, TC_SMALLINT = 5, TC_FLOAT = 6, TC_REAL = 7,
    TC_DOUBLE = 8, TC_DATE = 9, TC_TIME = 10, TC_TIMESTAMP = 11, TC_VARCHAR = 12, TC_LONGVARCHAR = -1,
    TC_BINARY = -2, TC_VARBINARY = -3, TC_LONGVARBINARY = -4, TC_BIGINT = -5, TC_TINYINT = -6, TC_BIT = -7,
    TC_WCHAR = -8, TC_WVARCHAR = -9, TC_WLONGVARCHAR = -10
};

struct FLD_DESC {
    static bool IsChar(int type) {
        return type == TC_CHAR || type == TC_VARCHAR || type == TC_LONGVARCHAR || type == TC_WCHAR ||
               type == TC_WVARCHAR || type == TC_WLONGVARCHAR;
    }
    static bool IsInteger(int type) {
        return type == TC_INTEGER || type == TC_SMALLINT || type == TC_BIGINT || type == TC_TINYINT || type == TC_BIT;
    }
    // Floating and fixed-point decimal numbers.
    static bool IsDouble(int type) {
        return type == TC_FLOAT || type == TC_REAL || type == TC_DOUBLE || type == TC_NUMERIC || type == TC_DECIMAL;
    }
    static bool IsNumber(int type) { return IsInteger(type) || IsDouble(type); }
    // Date or date-and-time values (converters rewrite these).
    static bool IsDate(int type) { return type == TC_DATE || type == TC_TIMESTAMP; }
};
