// The status dialog at the display scalings store laptops run: every label
// and the button show their whole text, measured with the dialog's own font,
// and the window fits the screen that goes with the scaling. Each scaling runs
// in a prefix and display of its own (the DPI is fixed when the prefix's
// server starts): the test named after a DPI checks that the session has it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "support/win32/build_path.h"
#include "support/win32/dialog_probe.h"
#include "ui/win32/modal_loop.h"

namespace {

using testing_support::win32::ToUtf8;

struct Scale {
  int dpi;
  int screenWidth;
  int screenHeight;
};

void PrintTo(const Scale& scale, std::ostream* out) {
  *out << scale.dpi << " DPI on " << scale.screenWidth << "x" << scale.screenHeight;
}

// 100 % on the small laptop screen, then the scalings Windows proposes for
// larger ones.
const Scale kScales[] = {
    {96, 1366, 768},
    {120, 1920, 1080},
    {144, 1920, 1080},
    {192, 2560, 1440},
};

// Windows keeps this much of the screen's height (in 96-DPI pixels) for its taskbar.
constexpr int kTaskbarHeight = 48;
// Room a text keeps to its box's right edge, in dialog units (half an average
// character), so another font's slightly wider glyphs still fit.
constexpr int kMarginUnits = 2;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), text.size())));
  return text;
}

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> children;
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM found) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

// A window's device context for as long as it is in scope.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
  ~WindowDc() { ::ReleaseDC(m_window, m_dc); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
}

// The control's text as the control draws it on one line: its own device
// context with the font the dialog gave it.
SIZE TextSize(HWND control) {
  WindowDc dc(control);
  HGDIOBJ previous = ::SelectObject(dc.get(), FontOf(control));
  std::wstring text = TextOf(control);
  RECT box{0, 0, 0, 0};
  ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc.get(), previous);
  return SIZE{std::max(box.right - box.left, extent.cx), std::max(box.bottom - box.top, extent.cy)};
}

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class DialogAtScale : public testing::TestWithParam<Scale> {
 protected:
  void SetUp() override {
    // As the program's manifest declares: the system lays the dialog out at
    // the display's DPI instead of stretching a 96-DPI picture of it.
    ::SetProcessDPIAware();
    const std::wstring program = testing_support::win32::ProgramUnderTest(WARDKEEP_PROGRAM);
    m_module = ::LoadLibraryExW(program.c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m_module, nullptr) << "cannot load the program file";
    // The program's own template, built as the program builds it.
    m_template = ui::win32::LoadTemplateHidden(m_module, app::kDialogTemplateId);
    ASSERT_FALSE(m_template.empty()) << "no dialog template in the program";
    m_dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEW>(m_template.data()),
                                            nullptr, PlainDialog, 0);
    ASSERT_NE(m_dialog, nullptr) << "the template makes no dialog";
  }
  void TearDown() override {
    if (m_dialog != nullptr) ::DestroyWindow(m_dialog);
    if (m_module != nullptr) ::FreeLibrary(m_module);
  }

  HMODULE m_module = nullptr;
  std::vector<unsigned char> m_template;
  HWND m_dialog = nullptr;
};

TEST_P(DialogAtScale, EveryLabelAndTheButtonShowTheirWholeTextAndTheWindowFitsTheScreen) {
  const Scale scale = GetParam();
  const int dpi = ::GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSX);
  ASSERT_EQ(dpi, scale.dpi) << "the session runs at another DPI";
  ASSERT_EQ(::GetSystemMetrics(SM_CXSCREEN), scale.screenWidth) << "another screen";
  ASSERT_EQ(::GetSystemMetrics(SM_CYSCREEN), scale.screenHeight) << "another screen";

  RECT margin{0, 0, kMarginUnits, 0};
  ASSERT_TRUE(::MapDialogRect(m_dialog, &margin));
  const int edges = 2 * ::GetSystemMetrics(SM_CXEDGE);
  // The template's font, made for this DPI; the system font would measure otherwise.
  HFONT dialogFont = FontOf(m_dialog);
  ASSERT_NE(dialogFont, nullptr) << "the dialog has no font of its own";

  int labels = 0;
  int buttons = 0;
  for (HWND control : Children(m_dialog)) {
    const std::wstring kind = ClassOf(control);
    if (kind != L"Static" && kind != L"Button") continue;
    const bool button = kind == L"Button";
    (button ? buttons : labels)++;
    SCOPED_TRACE(ToUtf8(TextOf(control)));
    EXPECT_EQ(FontOf(control), dialogFont);
    RECT client{};
    ::GetClientRect(control, &client);
    // A push button draws its text inside its raised edges.
    const int room = client.right - (button ? edges : 0);
    const SIZE text = TextSize(control);
    EXPECT_LE(text.cx + margin.right, room)
        << "text " << text.cx << " px, margin " << margin.right << " px, box " << room << " px";
    EXPECT_LE(text.cy, client.bottom) << "text " << text.cy << " px high";
    std::printf("%s: text %ld x %ld px, room %d x %ld px\n", ToUtf8(TextOf(control)).c_str(),
                text.cx, text.cy, room, client.bottom);
  }
  EXPECT_EQ(labels, 5);
  EXPECT_EQ(buttons, 1);

  RECT frame{};
  ::GetWindowRect(m_dialog, &frame);
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  const int height =
      std::min<int>(work.bottom - work.top, scale.screenHeight - ::MulDiv(kTaskbarHeight, dpi, 96));
  EXPECT_LE(frame.right - frame.left, work.right - work.left);
  EXPECT_LE(frame.bottom - frame.top, height);
  std::printf("dialog at %d DPI: %ld x %ld px on %d x %d\n", dpi, frame.right - frame.left,
              frame.bottom - frame.top, scale.screenWidth, scale.screenHeight);
}

INSTANTIATE_TEST_SUITE_P(Scales, DialogAtScale, testing::ValuesIn(kScales),
                         [](const testing::TestParamInfo<Scale>& info) {
                           return "Dpi" + std::to_string(info.param.dpi);
                         });

}  // namespace
