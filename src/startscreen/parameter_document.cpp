// The parameter file's decisions, apart from the XML library and the file system: decoding, the
// look before reading, the element updates and the writer.
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

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

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

// True for a character that may begin an XML name; a high surrogate stands for the supplementary
// characters, which all may (up to U+EFFFF).
bool IsNameStartCharacter(wchar_t c) {
  return c == L':' || c == L'_' || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0xD800 && c <= 0xDB7F);
}

bool IsNameCharacter(wchar_t c) {
  return IsNameStartCharacter(c) || c == L'-' || c == L'.' || (c >= L'0' && c <= L'9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The length of the XML character at text[at] (2 for a surrogate pair), or 0 when XML does not
// allow it there.
std::size_t XmlCharacterLength(std::wstring_view text, std::size_t at) {
  const wchar_t c = text[at];
  if (IsHighSurrogate(c)) return at + 1 < text.size() && IsLowSurrogate(text[at + 1]) ? 2 : 0;
  return IsXmlCharacter(c) ? 1 : 0;
}

// True when a name appears twice; sorted rather than compared pairwise, so that an element with many
// attributes costs no more than their sort.
bool HasDuplicates(std::vector<std::wstring_view> names) {
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) != names.end();
}

// Walks the characters once as a well-formedness check; every step moves forward, so the walk is
// bounded by the text's length, and the open elements by the number of start tags.
class WellFormednessCheck {
 public:
  WellFormednessCheck(std::wstring_view text, XmlPrescan& scan) : text_(text), scan_(scan) {}

  bool Document() {
    if (!Characters()) return false;
    if (Starts(L"<?xml") && at_ + 5 < text_.size() && IsXmlWhitespace(text_[at_ + 5]) && !Declaration()) return false;
    if (!Miscellany()) return false;
    if (!Starts(L"<") || at_ + 1 >= text_.size() || !IsNameStartCharacter(text_[at_ + 1]) || !Element()) return false;
    return Miscellany() && at_ == text_.size();
  }

 private:
  bool Starts(std::wstring_view prefix) const { return text_.substr(at_, prefix.size()) == prefix; }
  bool Skip(std::wstring_view prefix) {
    if (!Starts(prefix)) return false;
    at_ += prefix.size();
    return true;
  }
  bool SkipWhitespace() {
    const std::size_t from = at_;
    while (at_ < text_.size() && IsXmlWhitespace(text_[at_])) ++at_;
    return at_ > from;
  }
  void NoteNode(std::size_t length) { scan_.longestNode = std::max(scan_.longestNode, length); }

  // Every character allowed, and the longest run beyond ASCII measured.
  bool Characters() {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text_.size();) {
      const std::size_t length = XmlCharacterLength(text_, i);
      if (length == 0) return false;
      run = text_[i] < 0x80 ? 0 : run + (length == 2 ? 4 : text_[i] < 0x800 ? 2 : 3);
      scan_.longestNonAsciiRun = std::max(scan_.longestNonAsciiRun, run);
      i += length;
    }
    return true;
  }

  bool Name(std::wstring_view& name) {
    const std::size_t from = at_;
    if (at_ >= text_.size() || !IsNameStartCharacter(text_[at_])) return false;
    while (at_ < text_.size() && IsNameCharacter(text_[at_])) at_ += IsHighSurrogate(text_[at_]) ? 2 : 1;
    name = text_.substr(from, at_ - from);
    return true;
  }

  // A reference at '&': one of the five predefined entities (a document has no document type) or
  // a character reference to an allowed character.
  bool Reference() {
    constexpr std::size_t kLongestReference = 12;  // "&#x10FFFF;" and some leading zeros
    const std::size_t end = text_.find(L';', at_ + 1);
    if (end == std::wstring_view::npos || end - at_ > kLongestReference) return false;
    const std::wstring_view name = text_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    if (name == L"amp" || name == L"lt" || name == L"gt" || name == L"quot" || name == L"apos") return true;
    if (name.empty() || name[0] != L'#') return false;
    const auto value = CharacterReferenceValue(name);
    if (!value || !IsXmlCharacter(*value)) return false;
    if (*value > 0xFFFF) scan_.supplementaryReference = true;
    return true;
  }

  // '=' and a value in one kind of quotes, without '<', with valid references only.
  bool QuotedValue(std::wstring_view& value) {
    SkipWhitespace();
    if (!Skip(L"=")) return false;
    SkipWhitespace();
    if (at_ >= text_.size() || (text_[at_] != L'"' && text_[at_] != L'\'')) return false;
    const wchar_t quote = text_[at_++];
    const std::size_t from = at_;
    while (at_ < text_.size() && text_[at_] != quote) {
      if (text_[at_] == L'<') return false;
      if (text_[at_] == L'&') {
        if (!Reference()) return false;
      } else {
        ++at_;
      }
    }
    if (at_ >= text_.size()) return false;
    value = text_.substr(from, at_ - from);
    NoteNode(value.size());
    ++at_;
    return true;
  }

  // version, then optionally encoding and standalone, in that order.
  bool Declaration() {
    at_ += 5;
    std::wstring_view name;
    std::wstring_view value;
    SkipWhitespace();
    if (!Name(name) || name != L"version" || !QuotedValue(value) || value.size() < 3 || value.substr(0, 2) != L"1." ||
        value.find_first_not_of(L"0123456789", 2) != std::wstring_view::npos) {
      return false;
    }
    for (const std::wstring_view optional : {std::wstring_view(L"encoding"), std::wstring_view(L"standalone")}) {
      const std::size_t before = at_;
      if (!SkipWhitespace() || Starts(L"?>")) break;
      if (!Name(name)) return false;
      if (name != optional) {
        if (optional == L"encoding" && name == L"standalone") {
          at_ = before;
          continue;
        }
        return false;
      }
      if (!QuotedValue(value)) return false;
      if (name == L"encoding" && (value.empty() || !std::iswalpha(value[0]) ||
                                  value.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") !=
                                      std::wstring_view::npos)) {
        return false;
      }
      if (name == L"standalone" && value != L"yes" && value != L"no") return false;
    }
    SkipWhitespace();
    return Skip(L"?>");
  }

  bool Comment() {
    const std::size_t close = text_.find(L"--", at_ + 4);
    if (close == std::wstring_view::npos || !text_.substr(close).starts_with(L"-->")) return false;
    NoteNode(close - at_ - 4);
    at_ = close + 3;
    return true;
  }

  bool ProcessingInstruction() {
    at_ += 2;
    std::wstring_view target;
    if (!Name(target) || EqualsIgnoringCase(target, L"xml")) return false;
    if (Skip(L"?>")) return true;
    if (!SkipWhitespace()) return false;
    const std::size_t close = text_.find(L"?>", at_);
    if (close == std::wstring_view::npos) return false;
    NoteNode(close - at_);
    at_ = close + 2;
    return true;
  }

  bool CData() {
    at_ += 9;
    const std::size_t close = text_.find(L"]]>", at_);
    if (close == std::wstring_view::npos) return false;
    NoteNode(close - at_);
    at_ = close + 3;
    return true;
  }

  // Comments, instructions and white space, outside the root element.
  bool Miscellany() {
    for (;;) {
      const std::size_t from = at_;
      if (SkipWhitespace()) NoteNode(at_ - from);
      if (Starts(L"<!--")) {
        if (!Comment()) return false;
      } else if (Starts(L"<?")) {
        if (!ProcessingInstruction()) return false;
      } else {
        return true;
      }
    }
  }

  // A start tag at '<'; true with `empty` when it closes itself.
  bool StartTag(std::wstring_view& name, bool& empty) {
    ++at_;
    if (!Name(name)) return false;
    std::vector<std::wstring_view> attributes;
    for (;;) {
      const bool spaced = SkipWhitespace();
      if (Skip(L"/>")) {
        empty = true;
        return !HasDuplicates(attributes);
      }
      if (Skip(L">")) {
        empty = false;
        return !HasDuplicates(attributes);
      }
      std::wstring_view attribute;
      std::wstring_view value;
      if (!spaced || !Name(attribute) || !QuotedValue(value)) return false;
      attributes.push_back(attribute);
    }
  }

  // The root element and everything in it.
  bool Element() {
    std::vector<std::wstring_view> open;
    do {
      std::wstring_view name;
      if (Starts(L"</")) {
        at_ += 2;
        if (open.empty() || !Name(name) || name != open.back()) return false;
        SkipWhitespace();
        if (!Skip(L">")) return false;
        open.pop_back();
      } else if (Starts(L"<!--")) {
        if (!Comment()) return false;
      } else if (Starts(L"<![CDATA[")) {
        if (!CData()) return false;
      } else if (Starts(L"<?")) {
        if (!ProcessingInstruction()) return false;
      } else if (Starts(L"<")) {
        bool empty = false;
        if (!StartTag(name, empty)) return false;
        if (!empty) open.push_back(name);
      } else if (!CharacterData()) {
        return false;
      }
    } while (!open.empty() && at_ < text_.size());
    return open.empty();
  }

  // Text up to the next markup: references valid, no "]]>".
  bool CharacterData() {
    const std::size_t from = at_;
    while (at_ < text_.size() && text_[at_] != L'<') {
      if (text_[at_] == L'&') {
        if (!Reference()) return false;
      } else if (Starts(L"]]>")) {
        return false;
      } else {
        ++at_;
      }
    }
    NoteNode(at_ - from);
    return true;
  }

  std::wstring_view text_;
  XmlPrescan& scan_;
  std::size_t at_ = 0;
};

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

bool HoldsOnlyXmlCharacters(std::wstring_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = XmlCharacterLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// Names, values and attributes of only allowed characters, and no attribute name twice.
bool HasValidNamesAndValues(const XmlNode& node) {
  std::vector<std::wstring_view> names;
  for (const XmlAttribute& attribute : node.attributes) {
    if (!HoldsOnlyXmlCharacters(attribute.name) || !HoldsOnlyXmlCharacters(attribute.value)) return false;
    names.push_back(attribute.name);
  }
  return HoldsOnlyXmlCharacters(node.name) && HoldsOnlyXmlCharacters(node.value) && !HasDuplicates(std::move(names));
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
  scan.readable = WellFormednessCheck(text, scan).Document();
  return scan;
}

bool WithinWineReaderLimits(const XmlText& text, const XmlPrescan& scan) {
  const std::size_t bytes = text.encoding == XmlEncoding::kUtf16Le ? 2 + 2 * text.characters.size() : 0;
  return bytes <= kWineUtf16ByteLimit && scan.longestNode <= kWineLongestNode &&
         scan.longestNonAsciiRun <= kWineLongestNonAsciiRun;
}

std::wstring StorableText(std::wstring_view text) {
  std::wstring kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = XmlCharacterLength(text, i);
    if (text[i] == L'\r') {
      kept += L'\n';
      i += text.substr(i, 2) == L"\r\n" ? 2 : 1;
    } else if (length == 0) {
      kept += L'\xFFFD';
      ++i;
    } else {
      kept.append(text.substr(i, length));
      i += length;
    }
  }
  return kept;
}

bool IsWritableDocument(const ParameterDocument& document) {
  std::vector<const std::wstring*> open;
  bool rootSeen = false;
  for (std::size_t i = 0; i < document.nodes.size(); ++i) {
    const XmlNode& node = document.nodes[i];
    if (!IsWritableUnparsedNode(node) || !HasValidNamesAndValues(node)) return false;
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
    content.value = StorableText(text);
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
