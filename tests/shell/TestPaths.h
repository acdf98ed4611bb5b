#pragma once

#include <QString>

// Where the build put the programs and test plug-ins; the environment may override it.
inline QString testBuildDir()
{
    const QString env = qEnvironmentVariable("TWG_BUILD_DIR");
    return env.isEmpty() ? QStringLiteral(TWG_SHELL_TEST_BUILD_DIR) : env;
}

inline QString testPluginRoot()
{
    const QString env = qEnvironmentVariable("TWG_TEST_PLUGIN_ROOT");
    return env.isEmpty() ? QStringLiteral(TWG_SHELL_TEST_PLUGIN_ROOT) : env;
}
