#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/NonEmptyValidator.h"
#include "kit/widgets/settings/SharedValidators.h"
#include "kit/widgets/settings/UnsignedIntValidator.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace {

struct Case {
    const char* text;
    QValidator::State expected;
};

void expectTable(const QValidator& validator, const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        QString text = QString::fromUtf8(c.text);
        int position = text.size();
        EXPECT_EQ(validator.validate(text, position), c.expected) << "text \"" << c.text << "\"";
    }
}

// Runs the body with another default locale, so validators built inside see it.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(QLocale::c()); }
};

TEST(IpAddressValidator, AcceptsDottedQuadsAndPartialInput)
{
    IpAddressValidator validator;
    expectTable(validator, {
                               {"192.168.1.20", QValidator::Acceptable},
                               {"0.0.0.0", QValidator::Acceptable},
                               {"255.255.255.255", QValidator::Acceptable},
                               {"007.1.1.1", QValidator::Acceptable},
                               {"192.168.1.", QValidator::Intermediate},
                               {"192.", QValidator::Intermediate},
                               {"1..2", QValidator::Intermediate},
                               {"", QValidator::Intermediate},
                               {"256.1.1.1", QValidator::Invalid},
                               {"1.2.3.4.5", QValidator::Invalid},
                               {"0007.1.1.1", QValidator::Invalid},
                               {"1.2.3.x", QValidator::Invalid},
                               {" 1.2.3.4", QValidator::Invalid},
                           });
}

TEST(IpAddressValidator, IntermediateKeepsTheCursor)
{
    IpAddressValidator validator;
    QString text = QStringLiteral("10.0.");
    int position = 3;
    EXPECT_EQ(validator.validate(text, position), QValidator::Intermediate);
    EXPECT_EQ(position, 3);
}

TEST(NonEmptyValidator, OnlyTheEmptyTextIsIntermediate)
{
    NonEmptyValidator validator;
    expectTable(validator, {
                               {"", QValidator::Intermediate},
                               {" ", QValidator::Acceptable},
                               {"Camera 1", QValidator::Acceptable},
                           });
}

TEST(UnsignedIntValidator, RangeSignsAndLeadingZeros)
{
    UnsignedIntValidator validator(1024, 49151);
    expectTable(validator, {
                               {"8080", QValidator::Acceptable},
                               {"1024", QValidator::Acceptable},
                               {"49151", QValidator::Acceptable},
                               {"", QValidator::Intermediate},
                               {"80", QValidator::Intermediate},
                               {"0", QValidator::Invalid},
                               {"0123", QValidator::Invalid},
                               {"-5", QValidator::Invalid},
                               {"+5", QValidator::Invalid},
                               {" 8080", QValidator::Invalid},
                               {"8080x", QValidator::Invalid},
                           });
}

// "8,080" or "8.080" read back with toInt gives 0: group separators must not pass, whatever
// the user's locale.
TEST(UnsignedIntValidator, RefusesGroupSeparatorsInEveryLocale)
{
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany), QLocale::c()}) {
        DefaultLocale scope(locale);
        UnsignedIntValidator validator(1024, 49151);
        SCOPED_TRACE(locale.name().toStdString());
        expectTable(validator, {
                                   {"8,080", QValidator::Invalid},
                                   {"8.080", QValidator::Invalid},
                                   {"8080", QValidator::Acceptable},
                               });
    }
}

TEST(SharedValidators, ProcessWideInstances)
{
    ASSERT_NE(sharedIpAddressValidator(), nullptr);
    EXPECT_NE(sharedIpAddressValidator(), sharedSecondIpAddressValidator());
    EXPECT_EQ(sharedIpAddressValidator(), sharedIpAddressValidator());
    EXPECT_EQ(sharedIpAddressValidator()->parent(), nullptr);
    EXPECT_EQ(sharedPortValidator()->bottom(), 1024);
    EXPECT_EQ(sharedPortValidator()->top(), 49151);
    QString address = defaultIpAddress();
    int position = 0;
    EXPECT_EQ(address, QStringLiteral("0.0.0.0"));
    EXPECT_EQ(sharedIpAddressValidator()->validate(address, position), QValidator::Acceptable);
    QString empty;
    EXPECT_EQ(sharedNonEmptyValidator()->validate(empty, position), QValidator::Intermediate);
}

} // namespace
