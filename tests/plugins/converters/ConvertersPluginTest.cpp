#include "tests/support/PluginInstall.h"

#include <gtest/gtest.h>

namespace {

TEST(ConvertersPlugin, LoadsAndHandsOverOneFamilyWithOrWithoutResources)
{
    for (const bool withResources : {true, false}) {
        QTemporaryDir root;
        const QString library = installPlugin(root, QStringLiteral("Ostrel"), QStringLiteral(OSTREL_PLUGIN_PATH), withResources);
        QWidget host;
        Family* family = loadPluginFamily(library, QStringLiteral("com.tarnwrightworks.Vantorel.ConvertersPlugin"),
                                          QStringLiteral("ConvertersPlugin"), host);
        ASSERT_NE(family, nullptr) << withResources;
        EXPECT_EQ(family->familyName(), QStringLiteral("Converters"));
    }
}

} // namespace
