// The ANSI code page (Windows-1252) behind the simulated MultiByteToWideChar
// and WideCharToMultiByte.
#pragma once

#include "platform/platform.h"

namespace velto::sim {

platform::WChar Cp1252ToWide(unsigned char byte);
// Windows' best-fit letter for a code unit outside Windows-1252 (U+0142 ł
// gives 'l'), '?' where it has none.
char WideToCp1252(platform::WChar unit);

}  // namespace velto::sim
