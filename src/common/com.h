#pragma once

// Owners for what the document service hands out, the thread's COM apartment, and the XML
// document itself. Releasing never changes GetLastError(), like the handle owners.

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <msxml2.h>

#include <string>
#include <utility>

namespace velmora {

// Keeps GetLastError() across a release call.
template <typename Release>
void KeepingLastError(Release release) {
  const DWORD error = ::GetLastError();
  release();
  ::SetLastError(error);
}

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.pointer_, nullptr));
    return *this;
  }
  ~ComPtr() { Reset(); }

  [[nodiscard]] T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Releases what is held and gives the slot to an out-parameter.
  T** Put() {
    Reset();
    return &pointer_;
  }

  void Reset(T* pointer = nullptr) {
    T* old = std::exchange(pointer_, pointer);
    if (old != nullptr) KeepingLastError([old] { old->Release(); });
  }

 private:
  T* pointer_ = nullptr;
};

// Owns one BSTR.
class UniqueBstr {
 public:
  UniqueBstr() = default;
  // A copy of the text; empty (null) when it could not be allocated.
  explicit UniqueBstr(const std::wstring& text)
      : text_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  UniqueBstr(UniqueBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.text_, nullptr));
    return *this;
  }
  ~UniqueBstr() { Reset(); }

  [[nodiscard]] BSTR Get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }
  [[nodiscard]] std::wstring Text() const {
    return text_ == nullptr ? std::wstring() : std::wstring(text_, ::SysStringLen(text_));
  }

  BSTR* Put() {
    Reset();
    return &text_;
  }

  // Gives up ownership without freeing.
  BSTR Release() { return std::exchange(text_, nullptr); }

  void Reset(BSTR text = nullptr) {
    BSTR old = std::exchange(text_, text);
    if (old != nullptr) KeepingLastError([old] { ::SysFreeString(old); });
  }

 private:
  BSTR text_ = nullptr;
};

// Owns one VARIANT and whatever it holds.
class UniqueVariant {
 public:
  UniqueVariant() { ::VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { Clear(); }

  [[nodiscard]] const VARIANT& Get() const { return value_; }
  VARIANT* Put() {
    Clear();
    return &value_;
  }

  // Takes the string over as a VT_BSTR value.
  void SetText(UniqueBstr text) {
    Clear();
    V_VT(&value_) = VT_BSTR;
    V_BSTR(&value_) = text.Release();
  }

  // The value converted to text; a failed conversion's code otherwise.
  HRESULT ToText(std::wstring& text);

  void Clear() {
    KeepingLastError([this] { ::VariantClear(&value_); });
    ::VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

// Initialises COM on the calling thread as a single-threaded apartment for the owner's lifetime and
// undoes exactly that. A thread already initialised in another mode is used as it is and left so.
class ScopedComApartment {
 public:
  ScopedComApartment() : status_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;
  ~ScopedComApartment() {
    if (status_ == S_OK || status_ == S_FALSE) KeepingLastError([] { ::CoUninitialize(); });
  }

  [[nodiscard]] HRESULT Status() const { return status_; }

 private:
  HRESULT status_;
};

// DOMDocument (version 3.0) and its IXMLDOMDocument interface.
inline constexpr CLSID kDomDocumentClass = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
inline constexpr IID kXmlDomDocumentInterface = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

inline constexpr IID kXmlDomDocument2Interface = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// The one way a document is loaded: a new document that loads synchronously and reads nothing but
// the file it is given. It resolves no external entity or DTD (a file, a URL or a network share
// named by the document), validates nothing and refuses a document type declaration, also where
// the document service would accept one. S_OK when the file was loaded; S_FALSE when the document
// exists but the file was not loaded (the document is kept); else the failure that left no
// document. Needs COM on the calling thread.
HRESULT LoadXmlDocument(const std::wstring& path, ComPtr<IXMLDOMDocument>& document);

}  // namespace velmora
