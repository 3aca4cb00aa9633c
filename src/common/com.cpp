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

namespace {

// Windows' document service resolves external entities and DTDs and validates by default.
HRESULT KeepToTheFile(IXMLDOMDocument& document) {
  HRESULT status = document.put_resolveExternals(VARIANT_FALSE);
  if (FAILED(status)) return status;
  status = document.put_validateOnParse(VARIANT_FALSE);
  if (FAILED(status)) return status;
  ComPtr<IXMLDOMDocument2> document2;
  status = document.QueryInterface(kXmlDomDocument2Interface, reinterpret_cast<void**>(document2.Put()));
  if (FAILED(status)) return status;
  const UniqueBstr name(L"ProhibitDTD");
  if (!name) return E_OUTOFMEMORY;
  VARIANT prohibit;
  ::VariantInit(&prohibit);
  V_VT(&prohibit) = VT_BOOL;
  V_BOOL(&prohibit) = VARIANT_TRUE;
  return document2->setProperty(name.Get(), prohibit);
}

bool DeclaresDocumentType(IXMLDOMDocument& document) {
  ComPtr<IXMLDOMDocumentType> type;
  return SUCCEEDED(document.get_doctype(type.Put())) && type;
}

// A new document that loads synchronously and keeps to the file it is given.
HRESULT CreateXmlDocument(ComPtr<IXMLDOMDocument>& document) {
  ComPtr<IXMLDOMDocument> created;
  HRESULT status = ::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, kXmlDomDocumentInterface,
                                      reinterpret_cast<void**>(created.Put()));
  if (FAILED(status)) return status;
  if (!created) return E_NOINTERFACE;
  // Asynchronous loading (the default) may return before the file is read.
  status = created->put_async(VARIANT_FALSE);
  if (FAILED(status)) return status;
  status = KeepToTheFile(*created.Get());
  if (FAILED(status)) return status;
  document = std::move(created);
  return S_OK;
}

// S_FALSE when the file could not be read or parsed, or declares a document type (refused even
// where the document service would accept it).
HRESULT LoadXmlFile(IXMLDOMDocument& document, const std::wstring& path) {
  UniqueBstr pathText(path);
  if (!pathText) return E_OUTOFMEMORY;
  UniqueVariant source;
  source.SetText(std::move(pathText));
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT status = document.load(source.Get(), &loaded);
  if (status != S_OK && loaded != VARIANT_TRUE) return S_FALSE;
  return DeclaresDocumentType(document) ? S_FALSE : S_OK;
}

}  // namespace

HRESULT LoadXmlDocument(const std::wstring& path, ComPtr<IXMLDOMDocument>& document) {
  document.Reset();
  ComPtr<IXMLDOMDocument> created;
  const HRESULT status = CreateXmlDocument(created);
  if (FAILED(status)) return status;
  const HRESULT loaded = LoadXmlFile(*created.Get(), path);
  if (FAILED(loaded)) return loaded;
  document = std::move(created);
  return loaded;
}

}  // namespace velmora
