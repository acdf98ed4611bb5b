#pragma once

// The platform layer is the one shared library of the process; everything else is hidden.
#if defined(TWG_PLATFORM_BUILD)
#define TWG_PLATFORM_API __attribute__((visibility("default")))
#else
#define TWG_PLATFORM_API
#endif
