#include "plugins/converters/VisibleConverter.h"

#include "tests/converters/support/FakeConverter.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

using convtest::FakeConverter;

constexpr std::uint16_t kModels[] = {
    0xBD15, 0xBD16, 0xBD17, 0xBD18, 0xBD19, 0xBD27, 0xBD28, 0xBD2C, 0xBD2E, 0xBD2F, 0xBD30, 0xBD31,
    0xBD32, 0xBD33, 0xBD34, 0xBD41, 0xBD46, 0xBD47, 0xBD53, 0xBD54, 0xBD55, 0xBD5F, 0xBD60, 0xBD69,
    0xBD6A, 0xBD82, 0xBD83, 0xBD84, 0xBD85, 0xBD91, 0xBD92, 0xBD93, 0xBD94, 0xBD95, 0xBD96, 0xBDB8,
    0xBDC5, 0xBDC6, 0xBDCF, 0xBDD0, 0xBDE7, 0xBDF2, 0xBDF6, 0xBE00, 0xBE06, 0xBE0C,
};

// Every model has its names and pictures; each full name is its own.
TEST(VisibleConverter, EveryModelHasNamesAndPictures)
{
    QSet<QString> fullNames;
    for (std::uint16_t id : kModels) {
        auto* device = new FakeConverter(id);
        {
            VisibleConverter converter(nullptr, device, nullptr);
            EXPECT_EQ(converter.productId(), id);
            EXPECT_FALSE(converter.displayName().isEmpty()) << std::hex << id;
            EXPECT_FALSE(converter.image().isNull()) << std::hex << id;
            EXPECT_FALSE(converter.thumbnail().isNull()) << std::hex << id;
            EXPECT_LT(converter.thumbnail().width(), converter.image().width()) << std::hex << id;
            fullNames.insert(converter.name());
        }
        device->release();
    }
    EXPECT_EQ(fullNames.size(), static_cast<int>(std::size(kModels)));
}

TEST(VisibleConverter, AnUnknownOrUnreadableIdStillWorksWithoutNamesOrPictures)
{
    for (const bool readable : {true, false}) {
        auto* device = new FakeConverter(0x1234);
        if (!readable)
            device->failing.insert("readDeviceIds");
        {
            VisibleConverter converter(nullptr, device, nullptr);
            EXPECT_TRUE(converter.name().isEmpty());
            EXPECT_TRUE(converter.image().isNull());
            EXPECT_TRUE(converter.thumbnail().isNull());
            EXPECT_TRUE(converter.isPowered());
            EXPECT_TRUE(converter.canOpen());
            EXPECT_EQ(converter.deviceKind(), QStringLiteral("Converter"));
            EXPECT_FALSE(converter.galleryConnectionIcon().isNull());
            EXPECT_FALSE(converter.cardConnectionIcon().isNull());
        }
        EXPECT_EQ(device->release(), 0) << "the visible converter gave its reference back";
    }
}

} // namespace
