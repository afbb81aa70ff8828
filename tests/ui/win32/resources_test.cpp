// The resources compiled into the program file, read back the way the system
// reads them: the dialog template, the icon group, the manifest, the version.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/win32/build_path.h"
#include "version.h"

namespace {

const std::wstring& ProgramPath() {
  static const std::wstring path = testing_support::win32::ProgramUnderTest(WARDKEEP_PROGRAM);
  return path;
}

class Reader {
 public:
  Reader(const BYTE* data, std::size_t size) : m_data(data), m_size(size) {}
  template <typename T>
  T Read() {
    T value{};
    if (m_at + sizeof(T) > m_size) {
      m_overrun = true;
      return value;
    }
    std::memcpy(&value, m_data + m_at, sizeof(T));
    m_at += sizeof(T);
    return value;
  }
  std::wstring ReadString() {
    std::wstring text;
    for (wchar_t c = Read<wchar_t>(); c != L'\0' && !m_overrun; c = Read<wchar_t>()) text += c;
    return text;
  }
  // A name or an ordinal; ordinals of the predefined classes become their names.
  std::wstring ReadNameOrOrdinal() {
    WORD first = Read<WORD>();
    if (first == 0) return {};
    if (first == 0xFFFF) {
      switch (WORD ordinal = Read<WORD>()) {
        case 0x80:
          return L"Button";
        case 0x81:
          return L"Edit";
        case 0x82:
          return L"Static";
        default:
          return L"#" + std::to_wstring(ordinal);
      }
    }
    m_at -= sizeof(WORD);
    return ReadString();
  }
  void AlignToDword() { m_at = (m_at + 3) & ~std::size_t{3}; }
  void Skip(std::size_t bytes) { m_at += bytes; }
  bool Overrun() const { return m_overrun || m_at > m_size; }

 private:
  const BYTE* m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
  bool m_overrun = false;
};

class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    m_module = ::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m_module, nullptr) << "cannot load the program file";
  }
  void TearDown() override {
    if (m_module != nullptr) ::FreeLibrary(m_module);
  }
  std::vector<BYTE> Resource(LPCWSTR type, int id, WORD language) {
    HRSRC found = ::FindResourceExW(m_module, type, MAKEINTRESOURCEW(id), language);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(m_module, found);
    const auto* bytes = static_cast<const BYTE*>(::LockResource(loaded));
    return std::vector<BYTE>(bytes, bytes + ::SizeofResource(m_module, found));
  }

  static constexpr WORD kChineseSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
  HMODULE m_module = nullptr;
};

struct Item {
  DWORD id;
  const wchar_t* kind;
  const wchar_t* text;
  short x, y, cx, cy;
  DWORD style;
};

TEST_F(ProgramResources, DialogTemplateHasTheExactFrameAndControls) {
  std::vector<BYTE> bytes = Resource(RT_DIALOG, 102, kChineseSimplified);
  ASSERT_FALSE(bytes.empty()) << "no Chinese (Simplified) dialog 102";
  Reader in(bytes.data(), bytes.size());
  ASSERT_EQ(in.Read<WORD>(), 1);  // DLGTEMPLATEEX
  ASSERT_EQ(in.Read<WORD>(), 0xFFFF);
  in.Read<DWORD>();  // help id
  EXPECT_EQ(in.Read<DWORD>(), static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE));
  EXPECT_EQ(in.Read<DWORD>(), static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_SYSMENU |
                                                 WS_THICKFRAME | DS_SETFONT | DS_FIXEDSYS));
  WORD count = in.Read<WORD>();
  EXPECT_EQ(in.Read<short>(), 0);
  EXPECT_EQ(in.Read<short>(), 0);
  EXPECT_EQ(in.Read<short>(), 445);
  EXPECT_EQ(in.Read<short>(), 254);
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"");  // menu
  EXPECT_EQ(in.ReadNameOrOrdinal(), L"");  // class: the system dialog class
  EXPECT_EQ(in.ReadString(), L"");         // caption
  EXPECT_EQ(in.Read<WORD>(), 9);           // points
  EXPECT_EQ(in.Read<WORD>(), 0);           // weight
  EXPECT_EQ(in.Read<BYTE>(), 0);           // italic
  EXPECT_EQ(in.Read<BYTE>(), 1);           // DEFAULT_CHARSET
  EXPECT_EQ(in.ReadString(), L"MS Shell Dlg");

  constexpr DWORD kBase = WS_CHILD | WS_VISIBLE;
  constexpr DWORD kLabel = kBase | SS_LEFT | WS_GROUP;
  constexpr DWORD kFigure = kBase | WS_DISABLED | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
  const Item expected[] = {
      {1000, L"Button", L"尝试启动", 324, 204, 75, 36, kBase | BS_PUSHBUTTON | WS_TABSTOP},
      {1001, L"Edit", L"", 15, 18, 408, 116,
       kBase | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER | WS_TABSTOP},
      {0xFFFFFFFF, L"Static", L"内存剩余(MB)", 31, 178, 54, 8, kLabel},
      {1002, L"Edit", L"", 90, 176, 84, 14, kFigure},
      {0xFFFFFFFF, L"Static", L"C盘剩余", 30, 202, 36, 8, kLabel},
      {0xFFFFFFFF, L"Static", L"D盘剩余", 31, 225, 36, 8, kLabel},
      {1003, L"Edit", L"", 90, 198, 83, 14, kFigure},
      {1005, L"Edit", L"", 90, 223, 84, 14, kFigure},
      {0xFFFFFFFF, L"Static", L"Vellun电子价签", 15, 7, 72, 8, kLabel},
      {0xFFFFFFFF, L"Static", L"ERP：", 212, 180, 26, 8, kLabel},
      {1006, L"Edit", L"", 242, 177, 145, 14, kBase | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
  };
  ASSERT_EQ(count, std::size(expected));
  for (const Item& want : expected) {
    SCOPED_TRACE(testing::Message()
                 << "control " << static_cast<int>(want.id) << " at " << want.x << "," << want.y);
    in.AlignToDword();
    in.Read<DWORD>();                 // help id
    EXPECT_EQ(in.Read<DWORD>(), 0u);  // extended style
    EXPECT_EQ(in.Read<DWORD>(), want.style);
    EXPECT_EQ(in.Read<short>(), want.x);
    EXPECT_EQ(in.Read<short>(), want.y);
    EXPECT_EQ(in.Read<short>(), want.cx);
    EXPECT_EQ(in.Read<short>(), want.cy);
    EXPECT_EQ(in.Read<DWORD>(), want.id);
    EXPECT_EQ(in.ReadNameOrOrdinal(), want.kind);
    EXPECT_EQ(in.ReadNameOrOrdinal(), want.text);
    in.Skip(in.Read<WORD>());  // creation data
  }
  EXPECT_FALSE(in.Overrun());
}

TEST_F(ProgramResources, IconGroupHoldsFiveThirtyTwoBitSizes) {
  std::vector<BYTE> bytes = Resource(RT_GROUP_ICON, 128, kChineseSimplified);
  ASSERT_FALSE(bytes.empty());
  Reader in(bytes.data(), bytes.size());
  EXPECT_EQ(in.Read<WORD>(), 0);
  EXPECT_EQ(in.Read<WORD>(), 1);  // icons, not cursors
  ASSERT_EQ(in.Read<WORD>(), 5);
  for (int size : {64, 32, 24, 20, 16}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(in.Read<BYTE>(), size);
    EXPECT_EQ(in.Read<BYTE>(), size);
    in.Skip(2);                      // colour count, reserved
    EXPECT_EQ(in.Read<WORD>(), 1);   // planes
    EXPECT_EQ(in.Read<WORD>(), 32);  // bits per pixel
    DWORD imageBytes = in.Read<DWORD>();
    WORD imageId = in.Read<WORD>();
    EXPECT_EQ(Resource(RT_ICON, imageId, kChineseSimplified).size(), imageBytes);
  }
  EXPECT_FALSE(in.Overrun());
  // The loaded program gets it at the system's icon size.
  EXPECT_NE(::LoadIconW(m_module, MAKEINTRESOURCEW(128)), nullptr);
}

TEST_F(ProgramResources, ManifestAsksForCommonControlsSixAsInvokerAndDpiAwareness) {
  HRSRC found = ::FindResourceW(m_module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const char* text = static_cast<const char*>(::LockResource(::LoadResource(m_module, found)));
  std::string manifest(text, ::SizeofResource(m_module, found));
  for (const char* part :
       {R"(name="Microsoft.Windows.Common-Controls")", R"(version="6.0.0.0")",
        R"(processorArchitecture="amd64")", R"(publicKeyToken="6595b64144ccf1df")",
        R"(language="*")", R"(level="asInvoker")", R"(uiAccess="false")", ">true</dpiAware>"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

TEST_F(ProgramResources, VersionIsOneZeroZeroOneInChineseSimplifiedUnicode) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(ProgramPath().c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

  WORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 1200);
  wchar_t* fileVersion = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                               reinterpret_cast<void**>(&fileVersion), &length));
  EXPECT_STREQ(fileVersion, L"1.0.0.1");
}

// What this build wrote into the resource; a packaged release under test names
// its own through WARDKEEP_EXPECT_<NAME>.
std::wstring Expected(const wchar_t* name, const wchar_t* built) {
  const std::wstring variable = std::wstring(L"WARDKEEP_EXPECT_") + name;
  wchar_t value[512];
  DWORD length = ::GetEnvironmentVariableW(variable.c_str(), value, 512);
  return length > 0 && length < 512 ? std::wstring(value, length) : std::wstring(built);
}

TEST_F(ProgramResources, VersionStringsTellCommitUpdateServerAndJarSigningKey) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(::GetFileVersionInfoW(ProgramPath().c_str(), 0, size, block.data()));

  const std::wstring commit = Expected(L"COMMIT", L"" WARDKEEP_COMMIT_TEXT);
  const std::wstring server = Expected(L"UPDATE_SERVER", L"" WARDKEEP_UPDATE_SERVER_TEXT);
  const std::wstring key = Expected(L"JAR_SIGNING_KEY", L"" WARDKEEP_JAR_SIGNING_TEXT);
  ASSERT_FALSE(commit.empty());
  // A build without an update server says so ("none") and asks nobody.
  ASSERT_TRUE(server == L"none" || server.rfind(L"http", 0) == 0)
      << "the update server is \"none\" or a URL";
  ASSERT_TRUE(key == L"none" || (key.rfind(L"Ed25519, SHA-256 ", 0) == 0 && key.size() == 33))
      << "the key is \"none\" or its fingerprint of 16 hex digits";

  const struct {
    const wchar_t* name;
    std::wstring value;
  } rows[] = {
      // What Explorer shows on the Details page.
      {L"FileDescription", L"wardkeep"},
      {L"ProductName", L"wardkeep, update server " + server + L", JAR signing key: " + key},
      {L"ProductVersion", L"1.0.0.1, commit " + commit},
      {L"OriginalFilename", L"wardkeep.exe"},
      // One fact to a value.
      {L"Commit", commit},
      {L"UpdateServer", server},
      {L"JarSigningKey", key},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "StringFileInfo value " << row.name);
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + row.name;
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        ::VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), row.value);
  }
}

}  // namespace
