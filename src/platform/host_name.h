#pragma once
// The name this machine goes by on the network.
#include <string>

namespace vyr::platform {

// The machine's fully qualified name: the canonical name the resolver gives
// for the host name when it has a dot, else the host name itself, else
// "localhost". Never holds a blank or a line break.
std::string FullyQualifiedHostName();

}  // namespace vyr::platform
