#include "converters/ConverterCapabilities.h"

namespace TWG {
namespace Converters {

namespace {

void audioSet(ConverterCapabilities& c, int levelsAreOutput, int channels, bool aesEbu)
{
    c.audioLevelsAreOutput = levelsAreOutput;
    c.audio = true;
    c.audioChannelCount = channels;
    c.aesEbuLevel = aesEbu;
}

constexpr int kInput = 0;
constexpr int kOutput = 1;
constexpr int kVideoLevelBitField = 6; // control bit 5

} // namespace

ConverterCapabilities ConverterCapabilities::forProduct(std::uint16_t productId)
{
    ConverterCapabilities c;
    switch (productId) {
    case 0xBD15:
    case 0xBD91:
        c.clamping = true;
        [[fallthrough]];
    case 0xBD2E:
        audioSet(c, kOutput, 2, true);
        c.videoGains = true;
        c.videoLevelsAreOutput = kOutput;
        c.downconversion = true;
        break;
    case 0xBD16:
    case 0xBD2F:
    case 0xBD46:
    case 0xBDCF:
        c.videoLevelsAreOutput = kInput;
        audioSet(c, kInput, 2, true);
        c.videoGains = true;
        break;
    case 0xBD17:
    case 0xBD95:
    case 0xBDF2:
        c.lut = productId == 0xBDF2;
        c.hdmiInstantLock = productId == 0xBD95;
        c.clamping = true;
        audioSet(c, kOutput, 2, true);
        break;
    case 0xBD18:
        c.downconversion = true;
        audioSet(c, kInput, 2, true);
        break;
    case 0xBD47:
        c.downconversion = true;
        c.videoLevelControlBit = kVideoLevelBitField;
        audioSet(c, kInput, 2, true);
        break;
    case 0xBD96:
    case 0xBDF6:
        c.videoLevelControlBit = kVideoLevelBitField;
        audioSet(c, kInput, 2, true);
        break;
    case 0xBD27:
    case 0xBD94:
    case 0xBDE7:
        c.videoLevel = productId == 0xBDE7;
        audioSet(c, kInput, 4, true);
        break;
    case 0xBD33:
        audioSet(c, kInput, 4, true);
        break;
    case 0xBD28:
    case 0xBD34:
    case 0xBD93:
        audioSet(c, kOutput, 4, true);
        break;
    case 0xBD2C:
        audioSet(c, kInput, 2, false);
        c.dviExtender = true;
        break;
    case 0xBD54:
        c.tally = true;
        break;
    case 0xBDC5:
        c.clamping = true;
        break;
    case 0xBDC6:
        c.videoLevel = true;
        break;
    case 0xBE0C:
        c.clamping = true;
        c.videoLevel = true;
        break;
    case 0xBE06:
        c.sdAspect = true;
        break;
    default: // 0xBD30, 0xBD31, 0xBDD0 and every id not listed: nothing
        break;
    }
    if (!c.audio) {
        c.aesEbuLevel = false;
        c.audioChannelCount = 0;
    }
    c.adjustable = c.audio || c.videoGains || c.downconversion || c.dviExtender || c.tally || c.clamping ||
                   c.videoLevel || c.hdmiInstantLock || c.lut || c.sdAspect;
    return c;
}

} // namespace Converters
} // namespace TWG
