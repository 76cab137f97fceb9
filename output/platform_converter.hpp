#pragma once
// The conversion each platform offers: iconv, or the Windows code pages.
#ifdef _WIN32
#include "output/codepage_converter.hpp"
namespace qln {
using PlatformConverter = CodePageConverter;
}
#else
#include "output/iconv_converter.hpp"
namespace qln {
using PlatformConverter = IconvConverter;
}
#endif
