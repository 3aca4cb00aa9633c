// The parameter file's decisions, apart from the XML library and the file system: decoding, the
// look before reading, the element updates and the writer.
#include <windows.h>

#include <cwctype>

#include "startscreen/parameter_file.h"

namespace velmora {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

std::optional<std::wstring> DecodeUtf8(std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length) != length) {
    return std::nullopt;
  }
  return text;
}

bool IsXmlWhitespace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// A character XML allows (a surrogate half is checked as part of its pair by the decoder).
bool IsXmlCharacter(unsigned long c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// The value of "#123" or "#x1F", or nothing when it is no number or too large for XML.
std::optional<unsigned long> CharacterReferenceValue(std::wstring_view name) {
  const bool hex = name.size() > 1 && name[1] == L'x';
  const std::wstring_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return std::nullopt;
  unsigned long value = 0;
  for (const wchar_t c : digits) {
    unsigned digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (hex && c >= L'a' && c <= L'f') {
      digit = c - L'a' + 10;
    } else if (hex && c >= L'A' && c <= L'F') {
      digit = c - L'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return std::nullopt;
  }
  return value;
}

// Checks the reference at text[at] ('&'); the length it covers, or 0 when it is undeclared or
// invalid. Only the five predefined entities are declared: a document has no document type.
std::size_t CheckReference(std::wstring_view text, std::size_t at, XmlPrescan& scan) {
  constexpr std::size_t kLongestReference = 10;  // "#x10FFFF" and some leading zeros
  const std::size_t end = text.find(L';', at + 1);
  if (end == std::wstring_view::npos || end - at - 1 > kLongestReference) return 0;
  const std::wstring_view name = text.substr(at + 1, end - at - 1);
  if (name == L"amp" || name == L"lt" || name == L"gt" || name == L"quot" || name == L"apos") return end - at + 1;
  if (name.empty() || name[0] != L'#') return 0;
  const auto value = CharacterReferenceValue(name);
  if (!value || !IsXmlCharacter(*value)) return 0;
  if (*value > 0xFFFF) scan.supplementaryReference = true;
  return end - at + 1;
}

// Where the section that begins at text[at] ends (just past its closing text); npos when it is
// not closed; `at` when no comment, CDATA section or instruction begins there.
std::size_t SkipUnparsedSection(std::wstring_view text, std::size_t at) {
  const struct {
    std::wstring_view open;
    std::wstring_view close;
  } sections[] = {{L"<!--", L"-->"}, {L"<![CDATA[", L"]]>"}, {L"<?", L"?>"}};
  for (const auto& section : sections) {
    if (text.substr(at, section.open.size()) != section.open) continue;
    const std::size_t close = text.find(section.close, at + section.open.size());
    return close == std::wstring_view::npos ? close : close + section.close.size();
  }
  return at;
}

// True when something follows the XML declaration, if there is one, that can begin markup.
bool HasMarkupAfterDeclaration(std::wstring_view text) {
  std::size_t from = 0;
  if (text.substr(0, 5) == L"<?xml" && text.size() > 5 && IsXmlWhitespace(text[5])) {
    const std::size_t end = text.find(L"?>");
    if (end == std::wstring_view::npos) return false;
    from = end + 2;
  }
  return text.find(L'<', from) != std::wstring_view::npos;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

bool IsWritableUnparsedNode(const XmlNode& node) {
  switch (node.kind) {
    case XmlNodeKind::kComment:
      return node.value.find(L"--") == std::wstring::npos && (node.value.empty() || node.value.back() != L'-');
    case XmlNodeKind::kCData:
      return node.value.find(L"]]>") == std::wstring::npos;
    case XmlNodeKind::kProcessingInstruction:
      return !node.name.empty() && !EqualsIgnoringCase(node.name, L"xml") && node.value.find(L"?>") == std::wstring::npos;
    case XmlNodeKind::kWhitespace:
      return node.value.find_first_not_of(L" \t\r\n") == std::wstring::npos;
    default:
      return true;
  }
}

bool DeclaresTheFileEncoding(const XmlNode& declaration, XmlEncoding encoding) {
  for (const XmlAttribute& attribute : declaration.attributes) {
    if (attribute.name != L"encoding") continue;
    return EqualsIgnoringCase(attribute.value, encoding == XmlEncoding::kUtf8 ? L"UTF-8" : L"UTF-16");
  }
  return true;
}

// The index of the end element of the element at `start`, or of the element itself when it is
// empty. Needs a writable document.
std::size_t EndOfElement(const std::vector<XmlNode>& nodes, std::size_t start) {
  if (nodes[start].empty) return start;
  std::size_t open = 0;
  for (std::size_t i = start; i < nodes.size(); ++i) {
    if (nodes[i].kind == XmlNodeKind::kElement && !nodes[i].empty) ++open;
    if (nodes[i].kind == XmlNodeKind::kEndElement && --open == 0) return i;
  }
  return nodes.size();
}

std::vector<std::wstring_view> PathSegments(std::wstring_view path) {
  std::vector<std::wstring_view> segments;
  while (!path.empty()) {
    const std::size_t slash = path.find(L'/');
    segments.push_back(path.substr(0, slash));
    path = slash == std::wstring_view::npos ? std::wstring_view() : path.substr(slash + 1);
  }
  return segments;
}

std::optional<std::size_t> FindElement(const std::vector<XmlNode>& nodes, std::wstring_view path) {
  const std::vector<std::wstring_view> segments = PathSegments(path);
  // The names of the open elements below the root.
  std::vector<std::wstring_view> open;
  bool inRoot = false;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const XmlNode& node = nodes[i];
    if (node.kind == XmlNodeKind::kEndElement) {
      if (open.empty()) inRoot = false;
      else open.pop_back();
      continue;
    }
    if (node.kind != XmlNodeKind::kElement) continue;
    if (!inRoot) {
      inRoot = !node.empty;
      continue;
    }
    open.push_back(node.name);
    if (open == segments) return i;
    if (node.empty) open.pop_back();
  }
  return std::nullopt;
}

void AppendEscaped(std::wstring& out, std::wstring_view text, bool attribute, std::wstring_view lineEnd) {
  for (const wchar_t c : text) {
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      case L'"': out += attribute ? L"&quot;" : L"\""; break;
      // A reader normalises line ends and, in attribute values, white space; these came from
      // character references and stay what they are.
      case L'\r': out += L"&#13;"; break;
      case L'\n': out += attribute ? std::wstring_view(L"&#10;") : lineEnd; break;
      case L'\t': out += attribute ? std::wstring_view(L"&#9;") : L"\t"; break;
      default: out += c;
    }
  }
}

void AppendRaw(std::wstring& out, std::wstring_view text, std::wstring_view lineEnd) {
  for (const wchar_t c : text) {
    if (c == L'\n') out += lineEnd;
    else out += c;
  }
}

void AppendAttributes(std::wstring& out, const std::vector<XmlAttribute>& attributes, std::wstring_view lineEnd) {
  for (const XmlAttribute& attribute : attributes) {
    out += L' ';
    out += attribute.name;
    out += L"=\"";
    AppendEscaped(out, attribute.value, true, lineEnd);
    out += L'"';
  }
}

void AppendNode(std::wstring& out, const XmlNode& node, std::wstring_view lineEnd) {
  switch (node.kind) {
    case XmlNodeKind::kDeclaration:
      out += L"<?xml";
      AppendAttributes(out, node.attributes, lineEnd);
      out += L"?>";
      break;
    case XmlNodeKind::kElement:
      out += L'<';
      out += node.name;
      AppendAttributes(out, node.attributes, lineEnd);
      out += node.empty ? L"/>" : L">";
      break;
    case XmlNodeKind::kEndElement:
      out += L"</";
      out += node.name;
      out += L'>';
      break;
    case XmlNodeKind::kText:
      AppendEscaped(out, node.value, false, lineEnd);
      break;
    case XmlNodeKind::kCData:
      out += L"<![CDATA[";
      AppendRaw(out, node.value, lineEnd);
      out += L"]]>";
      break;
    case XmlNodeKind::kComment:
      out += L"<!--";
      AppendRaw(out, node.value, lineEnd);
      out += L"-->";
      break;
    case XmlNodeKind::kProcessingInstruction:
      out += L"<?";
      out += node.name;
      if (!node.value.empty()) out += L' ';
      AppendRaw(out, node.value, lineEnd);
      out += L"?>";
      break;
    case XmlNodeKind::kWhitespace:
      AppendRaw(out, node.value, lineEnd);
      break;
  }
}

std::optional<std::string> EncodeUtf8(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(length), '\0');
  if (::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, bytes.data(), length, nullptr, nullptr) !=
      length) {
    return std::nullopt;
  }
  return bytes;
}

std::string EncodeUtf16Le(std::wstring_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes;
}

}  // namespace

std::optional<XmlText> DecodeXmlBytes(std::string_view bytes) {
  XmlText text;
  if (bytes.substr(0, kUtf16LeMark.size()) == kUtf16LeMark) {
    bytes.remove_prefix(kUtf16LeMark.size());
    if (bytes.size() % 2 != 0) return std::nullopt;
    text.encoding = XmlEncoding::kUtf16Le;
    text.byteOrderMark = true;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      text.characters += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
  }
  text.byteOrderMark = bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark;
  if (text.byteOrderMark) bytes.remove_prefix(kUtf8Mark.size());
  auto characters = DecodeUtf8(bytes);
  if (!characters) return std::nullopt;
  text.characters = std::move(*characters);
  return text;
}

XmlPrescan PrescanXml(std::wstring_view text) {
  XmlPrescan scan;
  if (!HasMarkupAfterDeclaration(text)) return scan;
  for (std::size_t at = 0; at < text.size();) {
    const wchar_t c = text[at];
    if (c == L'\0') return scan;
    if (c == L'<') {
      const std::size_t next = SkipUnparsedSection(text, at);
      if (next == std::wstring_view::npos) return scan;
      at = next == at ? at + 1 : next;
    } else if (c == L'&') {
      const std::size_t length = CheckReference(text, at, scan);
      if (length == 0) return scan;
      at += length;
    } else {
      ++at;
    }
  }
  scan.readable = true;
  return scan;
}

bool IsWritableDocument(const ParameterDocument& document) {
  std::vector<const std::wstring*> open;
  bool rootSeen = false;
  for (std::size_t i = 0; i < document.nodes.size(); ++i) {
    const XmlNode& node = document.nodes[i];
    if (!IsWritableUnparsedNode(node)) return false;
    switch (node.kind) {
      case XmlNodeKind::kDeclaration:
        if (i != 0 || !DeclaresTheFileEncoding(node, document.encoding)) return false;
        break;
      case XmlNodeKind::kElement:
        if (node.name.empty() || (open.empty() && rootSeen)) return false;
        rootSeen = true;
        if (!node.empty) open.push_back(&node.name);
        break;
      case XmlNodeKind::kEndElement:
        if (open.empty() || *open.back() != node.name) return false;
        open.pop_back();
        break;
      case XmlNodeKind::kText:
      case XmlNodeKind::kCData:
        if (open.empty()) return false;
        break;
      default:
        break;
    }
  }
  return rootSeen && open.empty();
}

std::optional<std::wstring> ElementText(const ParameterDocument& document, std::wstring_view path) {
  const auto start = FindElement(document.nodes, path);
  if (!start) return std::nullopt;
  const std::size_t end = EndOfElement(document.nodes, *start);
  std::wstring text;
  for (std::size_t i = *start + 1; i < end; ++i) {
    const XmlNode& node = document.nodes[i];
    if (node.kind == XmlNodeKind::kText || node.kind == XmlNodeKind::kCData || node.kind == XmlNodeKind::kWhitespace) {
      text += node.value;
    }
  }
  return text;
}

bool ReplaceElementText(ParameterDocument& document, std::wstring_view path, std::wstring_view text) {
  const auto start = FindElement(document.nodes, path);
  if (!start) return false;
  auto& nodes = document.nodes;
  XmlNode& element = nodes[*start];
  if (element.empty) {
    if (text.empty()) return true;
    element.empty = false;
    XmlNode end;
    end.kind = XmlNodeKind::kEndElement;
    end.name = element.name;
    nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(*start) + 1, std::move(end));
  }
  const std::size_t end = EndOfElement(nodes, *start);
  nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(*start) + 1, nodes.begin() + static_cast<std::ptrdiff_t>(end));
  if (!text.empty()) {
    XmlNode content;
    content.kind = XmlNodeKind::kText;
    content.value = text;
    nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(*start) + 1, std::move(content));
  }
  return true;
}

std::optional<std::string> WriteParameterDocument(const ParameterDocument& document) {
  const std::wstring_view lineEnd = document.crLfLineEnds ? L"\r\n" : L"\n";
  std::wstring text;
  for (const XmlNode& node : document.nodes) AppendNode(text, node, lineEnd);
  if (document.encoding == XmlEncoding::kUtf16Le) return std::string(kUtf16LeMark) + EncodeUtf16Le(text);
  auto bytes = EncodeUtf8(text);
  if (!bytes) return std::nullopt;
  return document.byteOrderMark ? std::string(kUtf8Mark) + *bytes : std::move(*bytes);
}

}  // namespace velmora
