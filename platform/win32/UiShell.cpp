// The shell on Windows: ShellExecuteA with the verb "open", inside a COM apartment as shell handlers
// expect one.

#include "platform/ui/Shell.h"

// After the platform headers: <windows.h> defines RGB and GetRValue as macros, which Graphics.h
// declares as functions.
#include <windows.h>
// (<windows.h> first: these need its types.)
#include <objbase.h>
#include <shellapi.h>

namespace {

// COM for the calling thread while this lives; left alone when the thread has it already in another
// model.
class ComApartment {
 public:
  ComApartment()
      : initialised_(
            SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComApartment() {
    if (initialised_) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace

namespace os {

bool ShellOpen(const ui::Control* owner, const std::string& target,
               const std::optional<std::string>& parameters) {
  const HWND window = owner != nullptr && owner->Native() != nullptr
                          ? static_cast<HWND>(owner->Native()->WindowHandle())
                          : nullptr;
  ComApartment com;
  const HINSTANCE result = ::ShellExecuteA(window, "open", target.c_str(),
                                           parameters ? parameters->c_str() : nullptr, nullptr, SW_SHOW);
  // Values above 32 mean the shell took the target on.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace os
