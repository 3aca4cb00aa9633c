#include "common/com.h"

namespace velmora {

HRESULT UniqueVariant::ToText(std::wstring& text) {
  if (V_VT(&value_) != VT_BSTR) {
    const HRESULT status = ::VariantChangeType(&value_, &value_, 0, VT_BSTR);
    if (FAILED(status)) return status;
  }
  const BSTR value = V_BSTR(&value_);
  text = value == nullptr ? std::wstring() : std::wstring(value, ::SysStringLen(value));
  return S_OK;
}

HRESULT CreateXmlDocument(ComPtr<IXMLDOMDocument>& document) {
  HRESULT status = ::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, kXmlDomDocumentInterface,
                                      reinterpret_cast<void**>(document.Put()));
  if (FAILED(status)) return status;
  if (!document) return E_NOINTERFACE;
  // Asynchronous loading (the default) may return before the file is read.
  return document->put_async(VARIANT_FALSE);
}

HRESULT LoadXmlDocument(const std::wstring& path, ComPtr<IXMLDOMDocument>& document) {
  document.Reset();
  UniqueBstr pathText(path);
  if (!pathText) return E_OUTOFMEMORY;
  UniqueVariant source;
  source.SetText(std::move(pathText));

  ComPtr<IXMLDOMDocument> created;
  HRESULT status = CreateXmlDocument(created);
  if (FAILED(status)) return status;

  VARIANT_BOOL loaded = VARIANT_FALSE;
  status = created->load(source.Get(), &loaded);
  document = std::move(created);
  return status == S_OK || loaded == VARIANT_TRUE ? S_OK : S_FALSE;
}

}  // namespace velmora
