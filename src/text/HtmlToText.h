// The text of an HTML mail body, as a reader of the mail would see it.
#pragma once

#include <string>
#include <string_view>

namespace zentavo {

// `html` and the result are Shift_JIS. Tags go; <br> and the start and end
// of a block (paragraph, division, list item, table row, heading...) end a
// line; white space collapses as a browser collapses it, except inside
// <pre>; comments and the contents of <script>, <style> and <title> go;
// character references (&amp;, &#12354;, &#x3042;) are decoded, a character
// that code page 932 lacks becoming 〓. Lines end in CR LF.
std::string HtmlToText(std::string_view html);

}  // namespace zentavo
