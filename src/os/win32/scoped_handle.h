#pragma once
// Windows backend only: one owner type for every kind of handle the backend
// opens (kernel objects, files, registry keys, service handles).

#include <windows.h>

#include <utility>

namespace os::win32 {

// Traits: `Handle` type, `Invalid()` (the "no handle" value) and `Close(h)`.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : m_handle(handle) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : m_handle(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool IsValid() const { return m_handle != Traits::Invalid(); }
  explicit operator bool() const { return IsValid(); }
  Handle Get() const { return m_handle; }

  // For calls that hand the handle back through a pointer; closes the old one.
  Handle* Receive() {
    Reset();
    return &m_handle;
  }
  Handle Release() { return std::exchange(m_handle, Traits::Invalid()); }
  void Reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(m_handle, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Handle m_handle = Traits::Invalid();
};

// Kernel objects whose "no handle" is null (mutexes, processes, threads).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

// Files, whose "no handle" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};

struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseServiceHandle(h); }
};

using KernelHandle = ScopedHandle<KernelHandleTraits>;
using FileHandle = ScopedHandle<FileHandleTraits>;
using RegistryKey = ScopedHandle<RegistryKeyTraits>;
using ServiceManagerHandle = ScopedHandle<ServiceHandleTraits>;

}  // namespace os::win32
