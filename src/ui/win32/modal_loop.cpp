// Windows front end: the modal run's template copy and message loop.
#include "ui/win32/modal_loop.h"

#include <cstring>

namespace ui::win32 {
namespace {

// DLGTEMPLATEEX starts with dlgVer 1 and signature 0xFFFF, then helpID and
// exStyle before its style; the older DLGTEMPLATE starts with the style.
constexpr std::size_t kExtendedStyleOffset = 12;
constexpr std::size_t kPlainStyleOffset = 0;

std::size_t StyleOffset(const std::vector<unsigned char>& copy) {
  WORD version = 0;
  WORD signature = 0;
  std::memcpy(&version, copy.data(), sizeof version);
  std::memcpy(&signature, copy.data() + sizeof version, sizeof signature);
  return version == 1 && signature == 0xFFFF ? kExtendedStyleOffset : kPlainStyleOffset;
}

}  // namespace

std::vector<unsigned char> LoadTemplateHidden(HINSTANCE instance, int id) {
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (found == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(instance, found);
  DWORD size = ::SizeofResource(instance, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size < kExtendedStyleOffset + sizeof(DWORD)) return {};
  // A vector's storage is aligned for any scalar, as a template must be.
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::vector<unsigned char> copy(bytes, bytes + size);
  std::size_t offset = StyleOffset(copy);
  DWORD style = 0;
  std::memcpy(&style, copy.data() + offset, sizeof style);
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  std::memcpy(copy.data() + offset, &style, sizeof style);
  return copy;
}

void RunModalLoop(HWND dialog, const bool& keepRunning) {
  MSG message{};
  while (keepRunning && ::IsWindow(dialog)) {
    BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) return;
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!::IsDialogMessageW(dialog, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

}  // namespace ui::win32
