#pragma once
// A host that records each message box as "Caption: text".

#include <string>
#include <string_view>
#include <vector>

#include "host.h"

class BoxHost : public IHost {
  public:
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon) override {
        boxes.push_back(std::wstring(caption) + L": " + std::wstring(text));
    }
    std::vector<std::wstring> boxes;
};
