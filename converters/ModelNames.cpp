#include "converters/ModelNames.h"


namespace TWG {
namespace Converters {

namespace {

struct ModelName {
    std::uint16_t productId;
    const char* name;
};

// Ids that share a name are one model in two hardware revisions. The texts are neutral
// placeholders: the product names are not ours to ship.
constexpr ModelName kModelNames[] = {
    {0xBD15, "Converter Model 01"}, {0xBD16, "Converter Model 02"}, {0xBD46, "Converter Model 02"},
    {0xBD17, "Converter Model 03"}, {0xBD18, "Converter Model 04"}, {0xBD47, "Converter Model 04"},
    {0xBD19, "Converter Model 05"}, {0xBD27, "Converter Model 06"}, {0xBDE7, "Converter Model 06"},
    {0xBD28, "Converter Model 07"}, {0xBD2C, "DVI Extender"},       {0xBD2E, "Converter Model 09"},
    {0xBD2F, "Converter Model 10"}, {0xBDCF, "Converter Model 10"}, {0xBD30, "Converter Model 11"},
    {0xBD31, "Converter Model 12"}, {0xBDD0, "Converter Model 12"}, {0xBD32, "Converter Model 13"},
    {0xBD33, "Converter Model 14"}, {0xBD34, "Converter Model 15"}, {0xBD41, "Converter Model 16"},
    {0xBD53, "Converter Model 17"}, {0xBD54, "Converter Model 18"}, {0xBD55, "Converter Model 19"},
    {0xBD82, "Converter Model 19"}, {0xBD5F, "Converter Model 20"}, {0xBD60, "Converter Model 21"},
    {0xBD69, "Converter Model 22"}, {0xBD84, "Converter Model 22"}, {0xBD6A, "Converter Model 23"},
    {0xBD83, "Converter Model 24"}, {0xBD85, "Converter Model 25"}, {0xBD91, "Converter Model 26"},
    {0xBD92, "Converter Model 27"}, {0xBD93, "Converter Model 28"}, {0xBD94, "Converter Model 29"},
    {0xBD95, "Converter Model 30"}, {0xBD96, "Converter Model 31"}, {0xBDB8, "Converter Model 32"},
    {0xBDC5, "Converter Model 33"}, {0xBDC6, "Converter Model 34"}, {0xBDF2, "Converter Model 35"},
    {0xBDF6, "Converter Model 36"}, {0xBE00, "Converter Model 37"}, {0xBE06, "Converter Model 38"},
    {0xBE0C, "Converter Model 39"},
};

} // namespace

QString modelNameForProduct(std::uint16_t productId)
{
    for (const ModelName& m : kModelNames) {
        if (m.productId == productId)
            return QString::fromLatin1(m.name);
    }
    return QString();
}

} // namespace Converters
} // namespace TWG
