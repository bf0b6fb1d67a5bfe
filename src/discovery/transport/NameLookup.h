#pragma once

#include "discovery/transport/TextLines.h"

#include <string>

// The machine's host name; "127.0.0.1" when the system gives an empty one.
std::string LocalName();

// Empties lines, then adds every address the name stands for, IPv4 and IPv6, as numeric
// texts; "0.0.0.0" when there is none. The local name gives the addresses of the
// interfaces that are up and running, loopback left out, in the interface table's order:
// on Linux the host name itself resolves to a loopback address.
void ResolveNameToIP(const std::string& name, TextLines& lines);

// The addresses of the interfaces that are up and running, loopback left out.
TextLines LocalInterfaceAddresses();
