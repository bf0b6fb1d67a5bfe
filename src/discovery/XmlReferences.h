#pragma once

#include <string>
#include <string_view>

// A description's element text with its references decoded once: the five predefined entities
// (&amp; &lt; &gt; &quot; &apos;) and character references (&#39; &#x27;). UPnP stacks escape a
// name such as "Ahmet's Office & Lab". Anything else that looks like a reference stays as
// written: an unknown entity, a malformed reference, and a reference to a control character, a
// surrogate, a noncharacter or a code point beyond Unicode.
std::string DecodeXmlReferences(std::string_view text);
