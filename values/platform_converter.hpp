#pragma once
// The conversion each platform offers: iconv, or the Windows code pages.
#ifdef _WIN32
#include "values/codepage_converter.hpp"
namespace qln {
using PlatformConverter = CodePageConverter;
}
#else
#include "values/iconv_converter.hpp"
namespace qln {
using PlatformConverter = IconvConverter;
}
#endif
