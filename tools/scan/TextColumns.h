#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Characters (code points) in valid UTF-8 text: the columns a table gives it.
std::size_t TextWidth(std::string_view text);

// text cut to at most width characters, the last one an ellipsis when it was cut.
std::string CutText(const std::string& text, std::size_t width);
