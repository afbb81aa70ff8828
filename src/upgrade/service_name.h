#pragma once
// The upload service's name: its Windows service, the base name of its JAR and
// the name of its installation directory.

namespace upgrade {

constexpr const wchar_t* kUploadServiceName = L"stock-relay";

}  // namespace upgrade
