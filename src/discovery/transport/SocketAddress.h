#pragma once

#include <netinet/in.h>
#include <string>

// The dotted text of an IPv4 sender, or empty for any other kind of address.
std::string SenderText(const sockaddr_in& sender);

// The local port a socket is bound to, or 0 when it has none.
int BoundPort(int handle);
