#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A device's text made safe to print: tabs and line breaks become blanks (so that a field
// stays on its line and in its column), every other control character and every byte that is
// not part of valid UTF-8 becomes U+FFFD. Valid UTF-8 passes unchanged.
std::string SafeText(std::string_view bytes);

// Characters (code points) in valid UTF-8 text: the columns a table gives it.
std::size_t TextWidth(std::string_view text);

// text cut to at most width characters, the last one an ellipsis when it was cut.
std::string CutText(const std::string& text, std::size_t width);
