// Message boxes recorded instead of shown, on every backend, so that tests
// can check texts and captions and nothing waits for a click under wine.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace sgtest {

struct CapturedBox {
    pf::HWND owner;
    std::string text;  // the program's bytes (Shift-JIS)
    std::string caption;
    pf::UINT type;
};

// Captures while it lives; boxes() starts empty.
class BoxCapture {
public:
    BoxCapture();
    ~BoxCapture();
    BoxCapture(const BoxCapture&) = delete;
    BoxCapture& operator=(const BoxCapture&) = delete;

    const std::vector<CapturedBox>& boxes() const;
    void clear();
};

}  // namespace sgtest
