#pragma once
// A dialog's edit control bound by id, in the manner of the framework's CEdit.

#include <string>

#include "app/view.h"

namespace app {

class EditControl {
 public:
  void Bind(View& view, int id) {
    m_view = &view;
    m_id = id;
  }
  void SetWindowText(const std::wstring& text) {
    if (m_view != nullptr) m_view->SetControlText(m_id, text);
  }

 private:
  View* m_view = nullptr;
  int m_id = 0;
};

}  // namespace app
