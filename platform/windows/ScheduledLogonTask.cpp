#ifdef _WIN32

#include "platform/windows/ScheduledLogonTask.h"

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include <string>

#include "platform/windows/WinText.h"

namespace {

// COM for the length of one call. A thread that already uses COM (a window's thread does)
// keeps its model; only what this call started is ended again.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(s_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return s_; }

 private:
  BSTR s_;
};

VARIANT Empty() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

// The scheduler's root folder; null when the service cannot be reached.
bool RootFolder(ComPtr<ITaskFolder>& folder) {
  ComPtr<ITaskService> service;
  if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                              reinterpret_cast<void**>(service.out())))) {
    return false;
  }
  if (FAILED(service->Connect(Empty(), Empty(), Empty(), Empty()))) return false;
  Bstr root(L"\\");
  return SUCCEEDED(service->GetFolder(root.get(), folder.out())) && folder;
}

bool IsNotFound(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

}  // namespace

bool ScheduledLogonTask::Register(std::string_view name, const LogonTaskDefinition& definition) {
  ComScope com;
  ComPtr<ITaskFolder> folder;
  if (!com.usable() || !RootFolder(folder)) return false;
  Bstr path(Utf8ToWide(name));
  Bstr xml(Utf8ToWide(definition.Xml()));
  ComPtr<IRegisteredTask> task;
  // The principal is the group named in the definition; no password is stored.
  const HRESULT result = folder->RegisterTask(path.get(), xml.get(), TASK_CREATE_OR_UPDATE, Empty(), Empty(),
                                              TASK_LOGON_GROUP, Empty(), task.out());
  return SUCCEEDED(result);
}

bool ScheduledLogonTask::Remove(std::string_view name) {
  ComScope com;
  ComPtr<ITaskFolder> folder;
  if (!com.usable() || !RootFolder(folder)) return false;
  Bstr path(Utf8ToWide(name));
  const HRESULT result = folder->DeleteTask(path.get(), 0);
  return SUCCEEDED(result) || IsNotFound(result);
}

bool ScheduledLogonTask::Exists(std::string_view name) {
  ComScope com;
  ComPtr<ITaskFolder> folder;
  if (!com.usable() || !RootFolder(folder)) return false;
  Bstr path(Utf8ToWide(name));
  ComPtr<IRegisteredTask> task;
  return SUCCEEDED(folder->GetTask(path.get(), task.out())) && task;
}

#endif
