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

HRESULT LoadXmlDocument(const std::wstring& path, ComPtr<IXMLDOMDocument>& document) {
  document.Reset();
  UniqueBstr pathText(path);
  if (!pathText) return E_OUTOFMEMORY;
  UniqueVariant source;
  source.SetText(std::move(pathText));

  ComPtr<IXMLDOMDocument> created;
  HRESULT status = ::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, kXmlDomDocumentInterface,
                                      reinterpret_cast<void**>(created.Put()));
  if (FAILED(status)) return status;
  if (!created) return E_NOINTERFACE;
  // Asynchronous loading (the default) may return before the file is read.
  status = created->put_async(VARIANT_FALSE);
  if (FAILED(status)) return status;

  VARIANT_BOOL loaded = VARIANT_FALSE;
  status = created->load(source.Get(), &loaded);
  document = std::move(created);
  return status == S_OK || loaded == VARIANT_TRUE ? S_OK : S_FALSE;
}

}  // namespace velmora
