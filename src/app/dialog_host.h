#pragma once
// What start-up needs from a front end: toolkit set-up and a modal run of the
// dialog. The front end owns the message loop and the view.

#include "app/view.h"

class CwardkeepDlg;

namespace app {

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // Prepares the toolkit's controls (common controls on Windows).
  virtual void InitCommonControls() = 0;
  // The view the dialog draws through; valid for the host's lifetime.
  virtual View& GetView() = 0;
  // Runs the dialog until IDOK or IDCANCEL.
  virtual void RunModal(CwardkeepDlg& dialog) = 0;
};

}  // namespace app
