#ifdef _WIN32

#include "platform/windows/MessageBoxSink.h"

#include <windows.h>

#include "platform/windows/WinText.h"

void MessageBoxSink::ShowMessage(std::string_view text, std::string_view caption,
                                 MessageIcon icon) {
  const UINT flags = MB_OK | (icon == MessageIcon::Error ? MB_ICONERROR : 0u);
  MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
}

#endif
