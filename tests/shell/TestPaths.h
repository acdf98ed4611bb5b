#pragma once

#include "support/TestEnvironment.h"

// Where the build put the programs and test plug-ins.
inline QString testBuildDir()
{
    return requiredEnvironment("TWG_BUILD_DIR");
}

inline QString testPluginRoot()
{
    return requiredEnvironment("TWG_TEST_PLUGIN_ROOT");
}
