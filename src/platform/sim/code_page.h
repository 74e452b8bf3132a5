// The ANSI code page (Windows-1252) behind the simulated MultiByteToWideChar
// and WideCharToMultiByte.
#pragma once

#include "platform/platform.h"

namespace velto::sim {

platform::WChar Cp1252ToWide(unsigned char byte);
// '?' for a code unit that Windows-1252 cannot represent.
char WideToCp1252(platform::WChar unit);

}  // namespace velto::sim
