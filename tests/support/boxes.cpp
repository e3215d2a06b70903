#include "platform/diagnostics.h"
#include "tests/support/boxes.h"

namespace sgtest {
namespace {

std::vector<CapturedBox>& captured() {
    static std::vector<CapturedBox> boxes;
    return boxes;
}

void record(pf::HWND owner, const char* text, const char* caption, pf::UINT type) {
    captured().push_back({owner, text ? text : "", caption ? caption : "", type});
}

}  // namespace

BoxCapture::BoxCapture() {
    captured().clear();
    pf::diagnostics::set_message_box_capture(record);
}

BoxCapture::~BoxCapture() { pf::diagnostics::set_message_box_capture(nullptr); }

const std::vector<CapturedBox>& BoxCapture::boxes() const { return captured(); }

void BoxCapture::clear() { captured().clear(); }

}  // namespace sgtest
