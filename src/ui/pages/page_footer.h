#pragma once
// The Footer page: whether the footer is printed, its text, paragraph size and CSS class.

#include "text_switch_page.h"

class PageFooter : public TextSwitchPage {
    Q_OBJECT
  public:
    explicit PageFooter(CProjectView* view, QWidget* parent = nullptr);
};
