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
  bool IsBound() const { return m_view != nullptr; }
  int Id() const { return m_id; }
  void SetWindowText(const std::wstring& text) {
    if (m_view != nullptr) m_view->SetControlText(m_id, text);
  }
  std::wstring GetWindowText() const {
    return m_view != nullptr ? m_view->GetControlText(m_id) : L"";
  }

 private:
  View* m_view = nullptr;
  int m_id = 0;
};

}  // namespace app
