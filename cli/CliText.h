#pragma once

#include <initializer_list>
#include <string>

// The command line's texts, from the strings table like every text the user sees. A text
// holds "%1", "%2", ... where the arguments go, in their order.
std::string CliText(const char* pszKey, std::initializer_list<std::string> asArguments = {});
