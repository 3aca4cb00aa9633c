// Reads one generated document through the system's XmlLite reader and says how it went, so that a
// script can find, one child process a size, where a reader stops coping (see xml_reader_limits.sh).
//
//   xml_reader_probe.exe <encoding> <node> <unit> <count> [ascii-ends]
//
// encoding: utf8 or utf16 (little-endian, with a byte-order mark).
// node: text, comment, cdata, attribute (one such node in a root element), or elements (one short
//   element for each unit).
// unit: what is repeated `count` times in the node: ascii ("x"), latin ("ë", two UTF-8 bytes),
//   snowman (three), emoji (four, a surrogate pair), amp ("a&amp;", a reference in text and
//   attributes), crlf ("l" and a CR LF line end).
// ascii-ends: every chunk the stream hands over ends after an ASCII byte when it can, as the
//   starter's stream does.
// Prints one line: "ok", "refused 0x...", or "wrong" (read, but not the document given), the file's
// size and the time taken. The reader's crashes and hangs the script sees from outside.
#include <windows.h>

#include <xmllite.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

class ByteStream final : public ISequentialStream {
 public:
  ByteStream(const std::string& bytes, bool asciiEnds) : bytes_(bytes), asciiEnds_(asciiEnds) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream)) {
      *object = this;
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    std::size_t count = size < bytes_.size() - position_ ? size : bytes_.size() - position_;
    if (asciiEnds_ && position_ + count < bytes_.size()) {
      std::size_t end = count;
      while (end > 0 && (static_cast<unsigned char>(bytes_[position_ + end - 1]) & 0x80) != 0) --end;
      if (end > 0) count = end;
    }
    std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    if (read != nullptr) *read = static_cast<ULONG>(count);
    return position_ < bytes_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

 private:
  const std::string& bytes_;
  bool asciiEnds_;
  std::size_t position_ = 0;
};

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::string Utf16Le(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

struct Unit {
  const wchar_t* name;
  const wchar_t* markup;   // as written in the document
  const wchar_t* parsed;   // as the reader gives it back in text and attributes
  const wchar_t* literal;  // as it gives it back in comments and CDATA sections
};

constexpr Unit kUnits[] = {
    {L"ascii", L"x", L"x", L"x"},
    {L"latin", L"\u00EB", L"\u00EB", L"\u00EB"},
    {L"snowman", L"\u2603", L"\u2603", L"\u2603"},
    {L"emoji", L"\U0001F600", L"\U0001F600", L"\U0001F600"},
    {L"amp", L"a&amp;", L"a&", L"a&amp;"},
    {L"crlf", L"l\r\n", L"l\n", L"l\n"},
};

std::wstring Repeated(const wchar_t* text, unsigned long count) {
  std::wstring result;
  for (unsigned long i = 0; i < count; ++i) result += text;
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5 && argc != 6) return 2;
  const std::wstring encoding = argv[1];
  const std::wstring node = argv[2];
  const unsigned long count = std::wcstoul(argv[4], nullptr, 10);
  const Unit* unit = nullptr;
  for (const Unit& candidate : kUnits) {
    if (std::wcscmp(candidate.name, argv[3]) == 0) unit = &candidate;
  }
  if (unit == nullptr) return 2;

  std::wstring document;
  std::wstring expected;  // the values of the nodes read, one after another
  const std::wstring body = Repeated(unit->markup, count);
  if (node == L"text") {
    document = L"<a>" + body + L"</a>";
    expected = Repeated(unit->parsed, count);
  } else if (node == L"comment") {
    document = L"<a><!--" + body + L"--></a>";
    expected = Repeated(unit->literal, count);
  } else if (node == L"cdata") {
    document = L"<a><![CDATA[" + body + L"]]></a>";
    expected = Repeated(unit->literal, count);
  } else if (node == L"attribute") {
    document = L"<a b=\"" + body + L"\"/>";
    expected = Repeated(unit->parsed, count);
  } else if (node == L"elements") {
    document = L"<a>" + Repeated((std::wstring(L"<b>") + unit->markup + L"</b>").c_str(), count) + L"</a>";
    expected = Repeated(unit->parsed, count);
  } else {
    return 2;
  }
  const std::string bytes = encoding == L"utf16" ? Utf16Le(document) : Utf8(document);

  const ULONGLONG begin = ::GetTickCount64();
  ByteStream stream(bytes, argc == 6 && std::wcscmp(argv[5], L"ascii-ends") == 0);
  IXmlReader* reader = nullptr;
  HRESULT status = ::CreateXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), nullptr);
  if (SUCCEEDED(status)) status = reader->SetInput(&stream);
  std::wstring values;
  std::size_t nodes = 0;
  while (SUCCEEDED(status)) {
    XmlNodeType kind = XmlNodeType_None;
    status = reader->Read(&kind);
    if (status != S_OK) break;
    // Bounded: a reader that repeats nodes forever is wrong, not slow.
    if (++nodes > document.size()) break;
    const wchar_t* value = nullptr;
    UINT length = 0;
    if (kind == XmlNodeType_Element && reader->MoveToFirstAttribute() == S_OK) {
      if (SUCCEEDED(reader->GetValue(&value, &length))) values.append(value, length);
      reader->MoveToElement();
    } else if (kind != XmlNodeType_Element && SUCCEEDED(reader->GetValue(&value, &length))) {
      values.append(value, length);
    }
  }
  if (reader != nullptr) reader->Release();
  const ULONGLONG ms = ::GetTickCount64() - begin;
  if (FAILED(status)) {
    std::printf("refused 0x%08lX", static_cast<unsigned long>(status));
  } else if (values != expected) {
    std::size_t at = 0;
    while (at < values.size() && at < expected.size() && values[at] == expected[at]) ++at;
    std::printf("wrong (%zu nodes, first difference at character %zu)", nodes, at);
  } else {
    std::printf("ok");
  }
  std::printf(", %zu bytes, %llu ms\n", bytes.size(), ms);
  return 0;
}
