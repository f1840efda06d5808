#pragma once
// The Header page: whether the header is printed, its text, paragraph size and CSS class.

#include "text_switch_page.h"

class PageHeader : public TextSwitchPage {
    Q_OBJECT
  public:
    explicit PageHeader(CProjectView* view, QWidget* parent = nullptr);
};
