#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qln {

// A small scanner over the XML a Data Pump dump describes its tables with.
// It knows elements, attributes (skipped), processing instructions,
// comments and character references; nothing else of XML is needed. Every
// step moves forward through the text, so a damaged text ends the walk
// rather than looping, and no step looks further than the text's end.

struct XmlElement {
  std::string_view name;
  std::string_view content;  // between the opening and the closing tag
};

// Walks the direct children of an element's content, in text order.
class XmlChildren {
 public:
  explicit XmlChildren(std::string_view content) noexcept : text_(content) {}

  // The next child element; false at the end or when the text is damaged
  // (then damaged() is true).
  bool next(XmlElement& out) noexcept;
  bool damaged() const noexcept { return damaged_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool damaged_ = false;
};

// The content of the first direct child named `name`; false when there is none.
bool xml_child(std::string_view content, std::string_view name, std::string_view& out) noexcept;

// Element text with its character references (&quot; &amp; &lt; &gt;
// &apos; &#n; &#xn;) resolved. False for a reference it does not know.
bool xml_unescape(std::string_view text, std::string& out);

}  // namespace qln
