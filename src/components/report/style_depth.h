#pragma once
// The nesting of BeginStyle and EndStyle for writers that apply them to the text that follows (RTF, PDF):
// bold and italic count their depth, font sizes stack so that ending one returns to the one around it.

#include "areport.h"

class StyleDepth {
public:
    // A size outside 1..maxSize-1 (from a hand-edited project) counts as fallbackSize.
    StyleDepth(int maxSize, int fallbackSize) : m_maxSize(maxSize), m_fallbackSize(fallbackSize) {}

    void Reset() { m_bold = m_italic = m_sizeDepth = 0; }
    void Begin(int style, int size) {
        if (style == RS_BOLD)
            ++m_bold;
        else if (style == RS_ITALIC)
            ++m_italic;
        else if (style == RS_SIZE && m_sizeDepth < kMaxDepth)
            m_sizes[m_sizeDepth++] = size > 0 && size < m_maxSize ? size : m_fallbackSize;
    }
    // An end without its begin is ignored.
    void End(int style) {
        if (style == RS_BOLD && m_bold > 0)
            --m_bold;
        else if (style == RS_ITALIC && m_italic > 0)
            --m_italic;
        else if (style == RS_SIZE && m_sizeDepth > 0)
            --m_sizeDepth;
    }
    bool Bold() const { return m_bold > 0; }
    bool Italic() const { return m_italic > 0; }
    // The innermost size in points; 0 outside every size style.
    int Size() const { return m_sizeDepth > 0 ? m_sizes[m_sizeDepth - 1] : 0; }

private:
    static constexpr int kMaxDepth = 8;
    int m_maxSize, m_fallbackSize;
    int m_bold = 0, m_italic = 0;
    int m_sizes[kMaxDepth] = {};
    int m_sizeDepth = 0;
};
