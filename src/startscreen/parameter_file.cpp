#include "startscreen/parameter_file.h"

#include <windows.h>

#include <xmllite.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "common/com.h"
#include "common/host_system.h"
#include "common/paths.h"
#include "common/unique_handle.h"
#include "files/file_replace.h"
#include "files/tree_copy.h"
#include "startscreen/start_screen.h"

namespace velmora {
namespace {

// The bytes the reader reads: the file's, held in memory. The reader takes any sequential stream;
// it needs no COM initialisation, and this object none either. For Wine's reader, which cuts a
// UTF-8 character in two where one of its reads ends inside it, a read that does not reach the end
// stops after the last ASCII byte it would hand over (the prescan makes sure there is one); the
// shorter read still answers S_OK, which Wine's reader takes as it takes any success, where the
// documented contract would say the stream had ended. Windows' reader gets whole reads.
class ByteStream final : public ISequentialStream {
 public:
  ByteStream(std::string_view bytes, bool readsEndAfterAscii) : bytes_(bytes), readsEndAfterAscii_(readsEndAfterAscii) {}
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream)) {
      *object = static_cast<ISequentialStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The stream lives on the stack of the reading function, which releases the reader before it.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    std::size_t count = std::min<std::size_t>(size, bytes_.size() - position_);
    const bool reachesEnd = position_ + count == bytes_.size();
    if (readsEndAfterAscii_ && !reachesEnd) {
      std::size_t end = count;
      while (end > 0 && (static_cast<unsigned char>(bytes_[position_ + end - 1]) & 0x80) != 0) --end;
      if (end > 0) count = end;
    }
    std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    if (read != nullptr) *read = static_cast<ULONG>(count);
    return count == size || (readsEndAfterAscii_ && !reachesEnd) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

 private:
  std::string_view bytes_;
  bool readsEndAfterAscii_;
  std::size_t position_ = 0;
};

std::wstring HexCode(HRESULT status) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(status));
  return text;
}

std::wstring CurrentName(IXmlReader& reader) {
  const wchar_t* name = nullptr;
  UINT length = 0;
  if (FAILED(reader.GetQualifiedName(&name, &length)) || name == nullptr) return {};
  return std::wstring(name, length);
}

std::wstring CurrentValue(IXmlReader& reader) {
  const wchar_t* value = nullptr;
  UINT length = 0;
  if (FAILED(reader.GetValue(&value, &length)) || value == nullptr) return {};
  return std::wstring(value, length);
}

// Where the reader stands; a position from the line and the column in the line.
struct ReaderPosition {
  UINT line = 0;
  UINT column = 0;
  auto operator<=>(const ReaderPosition&) const = default;
};

ReaderPosition CurrentPosition(IXmlReader& reader) {
  ReaderPosition position;
  reader.GetLineNumber(&position.line);
  reader.GetLinePosition(&position.column);
  return position;
}

// The attributes of the element or declaration the reader stands on, at most `bound` of them.
bool ReadAttributes(IXmlReader& reader, std::size_t bound, std::vector<XmlAttribute>& attributes) {
  HRESULT status = reader.MoveToFirstAttribute();
  for (std::size_t count = 0; status == S_OK; ++count) {
    if (count == bound) return false;
    attributes.push_back({CurrentName(reader), CurrentValue(reader)});
    status = reader.MoveToNextAttribute();
  }
  return status == S_FALSE && SUCCEEDED(reader.MoveToElement());
}

// Reads every node into the list. Some readers (Wine's) answer S_OK forever on input cut inside a
// text or a comment, repeating the last node, and make up an end tag missing at the very end: the
// loop is bounded by the number of characters (no node is shorter than one), a node repeated
// in kind and position stops it, and an end tag must stand after its start tag.
HRESULT ReadNodes(IXmlReader& reader, std::size_t characters, std::vector<XmlNode>& nodes) {
  std::vector<ReaderPosition> openElements;
  XmlNodeType previousKind = XmlNodeType_None;
  ReaderPosition previousPosition;
  for (std::size_t count = 0; count <= characters; ++count) {
    XmlNodeType kind = XmlNodeType_None;
    const HRESULT status = reader.Read(&kind);
    if (status == S_FALSE) return S_OK;
    if (status != S_OK) return status;
    const ReaderPosition position = CurrentPosition(reader);
    if (kind == previousKind && position == previousPosition) return E_FAIL;
    previousKind = kind;
    previousPosition = position;

    XmlNode node;
    switch (kind) {
      case XmlNodeType_XmlDeclaration:
      case XmlNodeType_Element:
        node.kind = kind == XmlNodeType_Element ? XmlNodeKind::kElement : XmlNodeKind::kDeclaration;
        node.name = CurrentName(reader);
        // Valid only before the reader moves to the attributes.
        node.empty = reader.IsEmptyElement() != FALSE;
        if (!ReadAttributes(reader, characters, node.attributes)) return E_FAIL;
        if (kind == XmlNodeType_Element && !node.empty) openElements.push_back(position);
        break;
      case XmlNodeType_EndElement:
        if (openElements.empty() || !(openElements.back() < position)) return E_FAIL;
        openElements.pop_back();
        node.kind = XmlNodeKind::kEndElement;
        node.name = CurrentName(reader);
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
      case XmlNodeType_Comment:
      case XmlNodeType_Whitespace:
        node.kind = kind == XmlNodeType_Text    ? XmlNodeKind::kText
                    : kind == XmlNodeType_CDATA ? XmlNodeKind::kCData
                    : kind == XmlNodeType_Comment ? XmlNodeKind::kComment
                                                  : XmlNodeKind::kWhitespace;
        node.value = CurrentValue(reader);
        break;
      case XmlNodeType_ProcessingInstruction:
        node.kind = XmlNodeKind::kProcessingInstruction;
        node.name = CurrentName(reader);
        node.value = CurrentValue(reader);
        break;
      default:
        // A document type, or a kind this writer does not know.
        return E_FAIL;
    }
    nodes.push_back(std::move(node));
  }
  return E_FAIL;
}


// Creates the reader (xmllite.dll is loaded here, at the first call) and reads the bytes through it.
HRESULT ReadXml(std::string_view bytes, std::size_t characters, std::vector<XmlNode>& nodes) {
  // Declared first, so that the reader, which holds it, goes first.
  ByteStream stream(bytes, RunsUnderWine());
  ComPtr<IXmlReader> reader;
  HRESULT status = ::CreateXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.Put()), nullptr);
  if (FAILED(status)) return status;
  if (!reader) return E_NOINTERFACE;
  // Prohibited and unresolved by default; said here so that no default is relied on.
  status = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  if (FAILED(status)) return status;
  status = reader->SetProperty(XmlReaderProperty_XmlResolver, 0);
  if (FAILED(status)) return status;
  status = reader->SetInput(&stream);
  if (FAILED(status)) return status;
  return ReadNodes(*reader.Get(), characters, nodes);
}

// True when the reader decodes a character reference beyond U+FFFF as its surrogate pair.
bool ReaderKeepsSupplementaryReferences() {
  std::vector<XmlNode> nodes;
  constexpr std::string_view probe = "<a>&#x10000;</a>";
  return SUCCEEDED(ReadXml(probe, probe.size(), nodes)) && nodes.size() == 3 && nodes[1].value == L"\xD800\xDC00";
}

bool UsesCrLfLineEnds(std::wstring_view characters) {
  const std::size_t lineFeed = characters.find(L'\n');
  return lineFeed != std::wstring_view::npos && lineFeed > 0 && characters[lineFeed - 1] == L'\r';
}

}  // namespace

std::optional<ParameterDocument> ReadParameterDocument(const std::wstring& path, std::wstring& failure) {
  const auto bytes = ReadFileContent(path, kParameterFileCapacity);
  if (!bytes) {
    failure = L"cannot be read or is larger than 1 MiB";
    return std::nullopt;
  }
  const auto text = DecodeXmlBytes(*bytes);
  if (!text) {
    failure = L"neither UTF-8 nor UTF-16 LE with a byte-order mark";
    return std::nullopt;
  }
  const XmlPrescan scan = PrescanXml(text->characters);
  if (!scan.readable) {
    failure = L"not well-formed";
    return std::nullopt;
  }
  if (scan.supplementaryReference && !ReaderKeepsSupplementaryReferences()) {
    failure = L"a character reference beyond U+FFFF, which this reader cuts";
    return std::nullopt;
  }
  // Windows' reader checks what it reads; Wine's crashes, hangs or misreads beyond these limits.
  if (RunsUnderWine() && !WithinWineReaderLimits(*text, scan)) {
    failure = L"beyond what Wine's reader reads right";
    return std::nullopt;
  }
  ParameterDocument document;
  document.encoding = text->encoding;
  document.byteOrderMark = text->byteOrderMark;
  document.crLfLineEnds = UsesCrLfLineEnds(text->characters);
  const HRESULT status = ReadXml(*bytes, text->characters.size(), document.nodes);
  if (FAILED(status)) {
    failure = L"not read whole and well-formed, or declares a document type (" + HexCode(status) + L")";
    return std::nullopt;
  }
  if (!IsWritableDocument(document)) {
    failure = L"incomplete, or in another encoding than it declares";
    return std::nullopt;
  }
  return document;
}

namespace {

// The caption and the status line are rebuilt from base texts that are never written, so that the
// build suffix never accumulates over starts. False when an element is missing.
bool WriteRows(ParameterDocument& document, const StartScreenInfo& info, const std::wstring& workspace) {
  bool complete = true;
  const auto set = [&](const wchar_t* path, const std::wstring& text) {
    complete = complete && ReplaceElementText(document, path, text);
  };
  const auto copy = [&](const wchar_t* sourcePath, const wchar_t* targetPath, const std::wstring& suffix) {
    const auto text = ElementText(document, sourcePath);
    complete = complete && text && ReplaceElementText(document, targetPath, *text + suffix);
  };
  set(L"MainAppParams/Name", info.productTitle);
  set(L"MainAppParams/Version", info.versionText);
  copy(L"MainAppParams/AppNames/StartCaption", L"MainAppParams/AppNames/Caption", L"");
  set(L"MainAppParams/UserInfo/UserName", info.userName);
  set(L"MainAppParams/UserInfo/CompanyName", info.companyName);
  set(L"MainAppParams/DdeServer/AppName", info.ddeAppName);
  set(L"MainAppParams/PagesPath/HTMLsPath", workspace + L"\\htmls");
  set(L"MainAppParams/Dirs/VmSsFilesSource", info.commonDataDir + L"\\ss20\\vmss_files");
  set(L"MainAppParams/Dirs/SamplesPath", info.userFolder + L"\\Samples");
  set(L"MainAppParams/Dirs/TestDrivePath", info.userFolder + L"\\TestDrive");
  set(L"MainAppParams/Dirs/KelptrxPath", info.userFolder + L"\\kelptrx");
  copy(L"MainAppParams/Status/StartString", L"MainAppParams/Status/String",
       info.installerBuild.empty() ? L"" : L" (" + info.installerBuild + L")");
  set(L"MainAppParams/Status/Value", L"1");
  set(L"MainAppParams/Commands/ShowTab", L"");
  set(L"MainAppParams/Commands/ShowHtmlPage", L"");
  set(L"MainAppParams/Commands/ShowHtmlElementById", L"");
  return complete;
}

// Tells the debugger why the parameter file did not load.
void ReportLoadFailure(const std::wstring& parameterFile, const std::wstring& failure) {
  const std::wstring message = L"can't load '" + parameterFile + L"' - '" + failure + L"'\r\n";
  ::OutputDebugStringW(message.c_str());
}

// The parameter file, or the template copied over it when it does not load.
std::optional<ParameterDocument> LoadOrReplaceByTemplate(const StartScreenInfo& info, const std::wstring& parameterFile) {
  std::wstring failure;
  auto document = ReadParameterDocument(parameterFile, failure);
  if (document) return document;
  // A file that does not load is replaced by the template, without a backup.
  const std::wstring templateFile = info.commonDataDir + L"\\ss20\\vmss_files\\ini.xml";
  if (info.commonDataDir.empty() || !Fits(templateFile, kPathCapacity) ||
      !CopyFileForUser(templateFile, parameterFile)) {
    return std::nullopt;
  }
  document = ReadParameterDocument(parameterFile, failure);
  if (!document) ReportLoadFailure(parameterFile, failure);
  return document;
}

}  // namespace

long WriteStartScreenParams(const StartScreenInfo& info, const std::wstring& parameterFile,
                            const std::wstring& workspace) {
  auto document = LoadOrReplaceByTemplate(info, parameterFile);
  if (!document) return E_FAIL;
  if (!WriteRows(*document, info, workspace)) return E_FAIL;
  const auto bytes = WriteParameterDocument(*document);
  if (!bytes) return E_FAIL;
  return ReplaceFileContent(parameterFile, *bytes) ? S_OK : E_FAIL;
}

}  // namespace velmora
