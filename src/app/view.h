#pragma once
// What the dialog logic needs from a window, so the handlers run without a
// toolkit. The Win32 front end translates each call into one platform call;
// the console front end draws a text panel. The view owns the program's
// message boxes.

#include <string>

#include "host/message_box_owner.h"

namespace app {

// An icon handle owned by the front end (HICON on Windows).
using IconHandle = const void*;

enum class IconSize { Small = 0, Big = 1 };

class View : public host::MessageBoxOwner {
 public:
  virtual ~View() = default;

  // The program's group icon from its own resources.
  virtual IconHandle LoadAppIcon() = 0;
  virtual void SetIcon(IconSize size, IconHandle icon) = 0;

  // Whether the dialog has a child control with this id.
  virtual bool HasControl(int id) = 0;
  virtual void SetControlText(int id, const std::wstring& text) = 0;
  virtual void EnableControl(int id, bool enabled) = 0;

  virtual void ShowWindow(bool visible) = 0;
  // A periodic timer delivering OnTimer(id) every `milliseconds`; false when
  // the platform refused it.
  virtual bool SetTimer(unsigned id, unsigned milliseconds) = 0;
  // Queues a private message to the dialog itself.
  virtual void PostMessageToSelf(unsigned message) = 0;
};

}  // namespace app
