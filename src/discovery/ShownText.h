#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How a text from the network is shown, in the window and by pathmere-scan alike: valid UTF-8
// passes unchanged; control characters (C0, DEL, C1, so tabs and line breaks too), the line
// and paragraph separators and the direction overrides become blanks, so that a text stays on
// its line, reads in its own order and cannot drive a terminal; every byte that is not part
// of valid UTF-8 becomes U+FFFD. A text whose result would exceed limit bytes is cut before
// the first character that does not fit. Applying it twice changes nothing.
std::string ShownText(std::string_view raw, std::size_t limit = std::string_view::npos);
