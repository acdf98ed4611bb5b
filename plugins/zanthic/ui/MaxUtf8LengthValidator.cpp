#include "plugins/zanthic/ui/MaxUtf8LengthValidator.h"

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kDeviceNameField = 64;

QString withoutTrailingSpace(const QString& text)
{
    int end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString withoutLeadingSpace(const QString& text)
{
    int start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    return text.mid(start);
}
} // namespace

MaxUtf8LengthValidator::MaxUtf8LengthValidator(int maximum, int flags, QObject* parent)
    : QValidator(parent), byteLimit_(maximum - 1), flags_(flags)
{
}

QValidator::State MaxUtf8LengthValidator::validate(QString& text, int&) const
{
    if (text.isEmpty() && !(flags_ & AllowEmpty))
        return Intermediate;
    if (text.toUtf8().size() > byteLimit_)
        return Invalid;
    if (text.isEmpty())
        return Acceptable;
    if (!(flags_ & AllowLeadingSpace) && text.front().isSpace())
        return Intermediate;
    if (flags_ & AllowTrailingSpace)
        return Acceptable;
    return text.back().isSpace() ? Intermediate : Acceptable;
}

void MaxUtf8LengthValidator::fixup(QString& text) const
{
    const bool leading = flags_ & AllowLeadingSpace;
    const bool trailing = flags_ & AllowTrailingSpace;
    if (!leading && !trailing)
        text = text.trimmed();
    else if (leading && !trailing)
        text = withoutTrailingSpace(text);
    else if (!leading && trailing)
        text = withoutLeadingSpace(text);
}

MaxUtf8LengthValidator* sharedDeviceNameValidator()
{
    static MaxUtf8LengthValidator* validator = new MaxUtf8LengthValidator(kDeviceNameField, MaxUtf8LengthValidator::AllowEmpty);
    return validator;
}

} // namespace Zanthic
} // namespace TWG
