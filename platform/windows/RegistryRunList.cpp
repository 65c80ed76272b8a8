#ifdef _WIN32

#include "platform/windows/RegistryRunList.h"

#include <windows.h>

#include <vector>

#include "platform/windows/WinText.h"

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\windows\\CurrentVersion\\Run";
// A command line is short; a value of this size is not one of ours.
constexpr DWORD kLargestValueBytes = 64 * 1024;

class Key {
 public:
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

RunListStatus RegistryRunList::Read(std::string_view name, std::string& commandLine) {
  Key key;
  LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, key.out());
  if (rc == ERROR_FILE_NOT_FOUND) return RunListStatus::NotFound;
  if (rc != ERROR_SUCCESS) return RunListStatus::Failed;

  const std::wstring valueName = Utf8ToWide(name);
  DWORD type = 0;
  DWORD size = 0;
  rc = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return RunListStatus::NotFound;
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) ||
      size > kLargestValueBytes) {
    return RunListStatus::Failed;
  }
  // One spare character, so a value stored without its zero still ends in one.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  rc = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                        reinterpret_cast<BYTE*>(buffer.data()), &got);
  if (rc != ERROR_SUCCESS) return RunListStatus::Failed;
  commandLine = WideToUtf8(buffer.data());
  return RunListStatus::Ok;
}

bool RegistryRunList::Write(std::string_view name, std::string_view commandLine) {
  Key key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring valueName = Utf8ToWide(name);
  const std::wstring data = Utf8ToWide(commandLine);
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
}

bool RegistryRunList::Remove(std::string_view name) {
  Key key;
  LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, key.out());
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  rc = RegDeleteValueW(key.get(), Utf8ToWide(name).c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

#endif
