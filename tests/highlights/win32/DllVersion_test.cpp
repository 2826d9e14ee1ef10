// What Windows shows of kyn-highlights.dll: its version resource, which
// must name the plugin and carry the version the export reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/ApiVersion.h"
#include "support/TempDirectory.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::vector<unsigned char> VersionResource(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<unsigned char> data(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) data.clear();
  return data;
}

std::wstring StringValue(std::vector<unsigned char>& data, const wchar_t* name) {
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), key.c_str(), &value, &length) || length == 0) return {};
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(DllVersion, NamesThePluginAndItsVersion) {
  const std::wstring file = Corvan::Testing::PathFromUtf8(KYN_HIGHLIGHTS_MODULE).wstring();
  std::vector<unsigned char> data = VersionResource(file);
  ASSERT_FALSE(data.empty()) << "no version resource";

  void* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &fixed, &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  const Corvan::ApiVersion reported = Corvan::PluginApiVersion();
  EXPECT_EQ(HIWORD(info->dwFileVersionMS), reported.major);
  EXPECT_EQ(LOWORD(info->dwFileVersionMS), reported.minor);
  EXPECT_EQ(HIWORD(info->dwFileVersionLS), reported.patch);
  EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));

  EXPECT_EQ(StringValue(data, L"OriginalFilename"), L"kyn-highlights.dll");
  EXPECT_EQ(StringValue(data, L"ProductName"), L"kyn-highlights");
  const std::string text = reported.ToText();
  EXPECT_EQ(StringValue(data, L"FileVersion"), std::wstring(text.begin(), text.end()));
}

}  // namespace
