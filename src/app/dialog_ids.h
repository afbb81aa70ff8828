#pragma once
// Numbers fixed by the dialog template and the window's messages.

namespace app {

constexpr int kDialogTemplateId = 102;
constexpr int kIconGroupId = 128;

constexpr int kTryStartButtonId = 1000;
constexpr int kStatusEditId = 1001;
constexpr int kMemFreeEditId = 1002;
constexpr int kDiskCEditId = 1003;
constexpr int kDiskDEditId = 1005;
constexpr int kErpEditId = 1006;

constexpr unsigned kHealthTimerId = 1;
constexpr unsigned kHealthTimerPeriodMs = 20000;
// WM_USER + 100: hides the window once the modal loop runs.
constexpr unsigned kHideAfterStartMessage = 0x0400 + 100;

}  // namespace app
