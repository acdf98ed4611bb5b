#pragma once

#include <gtest/gtest.h>

#include <QString>

// A value the test runner must pass in (twg_test has CTest set them). Missing, the calling test
// fails naming the variable, never falls back to a guess.
inline QString requiredEnvironment(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        ADD_FAILURE() << name << " is not set: run the test through ctest, which sets it";
    return value;
}
