#include "plugins/converters/ConverterProducts.h"

#include "converters/ModelNames.h"

namespace {

// The picture families the placeholder artwork draws; the real product pictures are not ours
// to ship.
enum class Picture { Mini, Box, Extender, Rack };

struct ProductPicture {
    std::uint16_t productId;
    Picture picture;
};

constexpr ProductPicture kPictures[] = {
    {0xBD15, Picture::Mini}, {0xBD16, Picture::Mini},     {0xBD17, Picture::Mini}, {0xBD18, Picture::Mini},
    {0xBD19, Picture::Mini}, {0xBD27, Picture::Box},      {0xBD28, Picture::Box},  {0xBD2C, Picture::Extender},
    {0xBD2E, Picture::Mini}, {0xBD2F, Picture::Mini},     {0xBD30, Picture::Rack}, {0xBD31, Picture::Rack},
    {0xBD32, Picture::Rack}, {0xBD33, Picture::Box},      {0xBD34, Picture::Box},  {0xBD41, Picture::Rack},
    {0xBD46, Picture::Mini}, {0xBD47, Picture::Mini},     {0xBD53, Picture::Box},  {0xBD54, Picture::Box},
    {0xBD55, Picture::Box},  {0xBD5F, Picture::Rack},     {0xBD60, Picture::Rack}, {0xBD69, Picture::Box},
    {0xBD6A, Picture::Box},  {0xBD82, Picture::Box},      {0xBD83, Picture::Box},  {0xBD84, Picture::Box},
    {0xBD85, Picture::Box},  {0xBD91, Picture::Mini},     {0xBD92, Picture::Mini}, {0xBD93, Picture::Box},
    {0xBD94, Picture::Box},  {0xBD95, Picture::Mini},     {0xBD96, Picture::Mini}, {0xBDB8, Picture::Rack},
    {0xBDC5, Picture::Box},  {0xBDC6, Picture::Box},      {0xBDCF, Picture::Mini}, {0xBDD0, Picture::Rack},
    {0xBDE7, Picture::Box},  {0xBDF2, Picture::Mini},     {0xBDF6, Picture::Mini}, {0xBE00, Picture::Rack},
    {0xBE06, Picture::Rack}, {0xBE0C, Picture::Rack},
};

QString pictureResource(Picture picture)
{
    switch (picture) {
    case Picture::Mini:
        return QStringLiteral(":/Converters/Converter_Mini");
    case Picture::Box:
        return QStringLiteral(":/Converters/Converter_Box");
    case Picture::Extender:
        return QStringLiteral(":/Converters/Converter_Extender");
    case Picture::Rack:
        return QStringLiteral(":/Converters/Converter_Rack");
    }
    return QString();
}

} // namespace

ConverterProduct converterProduct(std::uint16_t productId)
{
    ConverterProduct product;
    for (const ProductPicture& entry : kPictures) {
        if (entry.productId != productId)
            continue;
        product.shortName = TWG::Converters::modelNameForProduct(productId);
        // Two revisions of a model share its short name; the id tells them apart.
        product.fullName = QStringLiteral("%1 (%2)")
                               .arg(product.shortName, QString::number(productId, 16).toUpper());
        product.picture = pictureResource(entry.picture);
        product.thumbnail = product.picture + QStringLiteral("Thumb");
        break;
    }
    return product;
}
