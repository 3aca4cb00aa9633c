#pragma once

// The start screen's parameter file as the starter reads and writes it: the file's characters
// decoded, read through the system's lightweight XML reader (XmlLite) into a flat list of nodes,
// changed element by element, and written back by a small escaping writer of our own, in the
// file's own encoding, byte-order mark and line-end style.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The largest parameter file read; a larger one counts as not loaded.
inline constexpr std::size_t kParameterFileCapacity = 1024 * 1024;

enum class XmlEncoding { kUtf8, kUtf16Le };

// A file's characters and what it takes to write them back in the same form.
struct XmlText {
  XmlEncoding encoding = XmlEncoding::kUtf8;
  bool byteOrderMark = false;
  std::wstring characters;
};

// UTF-8 with or without a byte-order mark, or UTF-16 LE with one. Nothing for anything else: UTF-16
// BE, invalid UTF-8, an odd number of UTF-16 bytes.
std::optional<XmlText> DecodeXmlBytes(std::string_view bytes);

// What a look over the characters finds before the XML library reads them.
struct XmlPrescan {
  // True only for a well-formed document: an optional XML declaration (version, encoding,
  // standalone, each quoted with one kind of quote), then comments, instructions and white space
  // around exactly one complete root element; names, attributes (none twice on one element), end
  // tags matching their start tags, only characters XML allows (no null character anywhere, no
  // lone surrogate, no U+FFFE or U+FFFF), no document type, and no reference other than the five
  // predefined entities and character references to allowed characters.
  bool readable = false;
  // A character reference beyond U+FFFF, which not every reader decodes whole.
  bool supplementaryReference = false;
  // Characters in the longest single node: text, white space, CDATA section, comment, instruction,
  // attribute value (as written, references counted as written).
  std::size_t longestNode = 0;
  // UTF-8 bytes of the longest run of characters beyond ASCII.
  std::size_t longestNonAsciiRun = 0;
};
XmlPrescan PrescanXml(std::wstring_view characters);

// What Wine 8's XmlLite reads right, measured (see the README): it reads a UTF-16 document whole
// only when the document fits its first read of 8,188 bytes, byte-order mark included; it crashes
// on a comment of 400,000 characters; and it cuts a UTF-8 character in two where one of its reads
// ends inside it, which the starter's stream avoids by ending every read after an ASCII byte, so
// a run beyond ASCII must fit well inside one read.
inline constexpr std::size_t kWineUtf16ByteLimit = 8188;
inline constexpr std::size_t kWineLongestNode = 256 * 1024;
inline constexpr std::size_t kWineLongestNonAsciiRun = 4096;

// True when Wine's reader reads the decoded file right, by the limits above.
bool WithinWineReaderLimits(const XmlText& text, const XmlPrescan& scan);

// A text the starter sets as the writer stores it: every character XML cannot carry (a control
// character other than tab, line feed and carriage return, U+FFFE, U+FFFF, a lone surrogate)
// replaced by U+FFFD, and every carriage return, alone or before a line feed, made one line feed.
// A reader gives a line end in the file back as a line feed anyway, and Wine's gives a carriage
// return written as a reference back as a space; so the text reads back the same everywhere.
std::wstring StorableText(std::wstring_view text);

enum class XmlNodeKind { kDeclaration, kElement, kEndElement, kText, kCData, kComment, kProcessingInstruction, kWhitespace };

struct XmlAttribute {
  std::wstring name;
  std::wstring value;
};

struct XmlNode {
  XmlNodeKind kind = XmlNodeKind::kText;
  std::wstring name;                     // element, end element, processing instruction target
  std::wstring value;                    // text, CDATA, comment, instruction data, white space
  std::vector<XmlAttribute> attributes;  // element, declaration
  bool empty = false;                    // an element written as <name/>
};

struct ParameterDocument {
  XmlEncoding encoding = XmlEncoding::kUtf8;
  bool byteOrderMark = false;
  bool crLfLineEnds = false;
  std::vector<XmlNode> nodes;  // in document order; an empty element has no end element
};

// True when the nodes make what the writer can write well-formed: one root element, elements
// closed in order, nothing but comments, instructions and white space outside the root, a
// declaration only first, comments without "--" and not ending in '-', CDATA without "]]>",
// instructions not named "xml" and without "?>", a declared encoding that is the file's, no
// attribute name twice on one element or declaration, and only characters XML allows in every
// name, value and text.
bool IsWritableDocument(const ParameterDocument& document);

// The file read whole and well-formed, with no document type declaration. Nothing when it cannot
// be read, is larger than kParameterFileCapacity or not loaded; why, in the failure text.
std::optional<ParameterDocument> ReadParameterDocument(const std::wstring& path, std::wstring& failure);

// The text content of the first element, in document order, at a '/'-separated path of element
// names below the root. Nothing when there is no such element.
std::optional<std::wstring> ElementText(const ParameterDocument& document, std::wstring_view path);

// Replaces the whole content of the first element at the path by the text as StorableText gives
// it. False when there is no such element.
bool ReplaceElementText(ParameterDocument& document, std::wstring_view path, std::wstring_view text);

// The document as the bytes of its file. Nothing when a character cannot be encoded (a lone
// surrogate in UTF-8, which a writable document does not hold).
std::optional<std::string> WriteParameterDocument(const ParameterDocument& document);


}  // namespace velmora
