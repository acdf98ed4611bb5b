#include "kit/widgets/BusyButton.h"
#include "kit/widgets/CardPushButton.h"
#include "shell/AddByIpAddressController.h"
#include "shell/AddByIpAddressDialog.h"
#include "shell/DialogLineEdit.h"
#include "tests/shell/Fakes.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

namespace {

// What the scripted queries were asked, and how each service name answers.
struct Script {
    enum Answer { Silent, FailAtOnce, AnswerAtOnce };
    std::map<std::string, Answer> answers; // names not listed stay silent
    QStringList asked;                      // "address service"
    int alive = 0;
    AddressQuery::Finished* lastFinished = nullptr;
};

BonjourInfo device(const std::string& service)
{
    BonjourInfo info;
    info.name = "Box 1";
    info.type = service;
    info.host = "10.0.0.7";
    info.port = 9000;
    return info;
}

// Answers inside query() itself, the fastest a reply can come.
class ScriptedQuery : public AddressQuery {
public:
    explicit ScriptedQuery(Script* script) : script_(script) { ++script_->alive; }
    ~ScriptedQuery() override { --script_->alive; }
    Finished& finished() override { return finished_; }
    void query(const std::string& address, int timeoutMs, const std::string& service) override
    {
        EXPECT_EQ(timeoutMs, 2000);
        script_->asked << QString::fromStdString(address + " " + service);
        script_->lastFinished = &finished_;
        const auto found = script_->answers.find(service);
        const Script::Answer answer = found == script_->answers.end() ? Script::Silent : found->second;
        if (answer == Script::AnswerAtOnce)
            finished_(true, device(service));
        else if (answer == Script::FailAtOnce)
            finished_(false, BonjourInfo());
    }

private:
    Script* script_;
    Finished finished_;
};

QStringList debugLines;
void captureDebug(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        debugLines << message;
}

class AddByIpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_.resize(800, 600);
        controller_ = std::make_unique<AddByIpAddressController>(
            &window_, &families_, [this] { return std::make_unique<ScriptedQuery>(&script_); });
        debugLines.clear();
        previous_ = qInstallMessageHandler(captureDebug);
    }
    void TearDown() override { qInstallMessageHandler(previous_); }

    FakeFamily* addFamily(QSet<QString> types)
    {
        auto* family = new FakeFamily(&window_, QStringLiteral("F"), &log_);
        family->types_ = std::move(types);
        families_.append(family);
        return family;
    }
    AddByIpAddressDialog* dialog() { return controller_->dialog(); }
    void typeAndAdd(const QString& address)
    {
        controller_->showDialog();
        dialog()->addressField()->setText(address);
        QTest::mouseClick(dialog()->addButton(), Qt::LeftButton);
    }

    QWidget window_;
    QVector<Family*> families_;
    QStringList log_;
    Script script_;
    std::unique_ptr<AddByIpAddressController> controller_;
    QtMessageHandler previous_ = nullptr;
};

const std::string kDefault = "_tarnwright._tcp.local";

} // namespace

TEST_F(AddByIpTest, DefaultTypeAnsweringAtOnceAddsTheDeviceWithOneQuery)
{
    script_.answers[kDefault] = Script::AnswerAtOnce;
    addFamily({QStringLiteral("_x._tcp")});
    window_.show();
    QSignalSpy added(controller_.get(), &AddByIpAddressController::deviceAddedByIP);
    typeAndAdd(QStringLiteral("10.0.0.7"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return added.count() == 1; }, 2000));
    EXPECT_EQ(script_.asked, QStringList{"10.0.0.7 _tarnwright._tcp.local"});
    EXPECT_EQ(added.at(0).at(0).value<BonjourInfo>(), device(kDefault));
    EXPECT_TRUE(debugLines.filter(QStringLiteral("Looking for service")).isEmpty());
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_FALSE(controller_->isQuerying());
    EXPECT_EQ(script_.alive, 0);
}

TEST_F(AddByIpTest, EachFamilyTypeIsAskedInTurnUntilOneAnswers)
{
    addFamily({QStringLiteral("_a._tcp")});
    addFamily({QStringLiteral("_b._tcp")});
    script_.answers[kDefault] = Script::FailAtOnce;
    // Whichever family type comes second answers; the first fails.
    QSet<QString> types{QStringLiteral("_a._tcp"), QStringLiteral("_b._tcp")};
    const QString first = *types.begin();
    const QString second = first == QLatin1String("_a._tcp") ? QStringLiteral("_b._tcp") : QStringLiteral("_a._tcp");
    script_.answers[(first + ".local").toStdString()] = Script::FailAtOnce;
    script_.answers[(second + ".local").toStdString()] = Script::AnswerAtOnce;
    QSignalSpy added(controller_.get(), &AddByIpAddressController::deviceAddedByIP);
    typeAndAdd(QStringLiteral("192.168.1.20"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return added.count() == 1; }, 2000));
    ASSERT_EQ(script_.asked.size(), 3);
    EXPECT_EQ(script_.asked[0], "192.168.1.20 _tarnwright._tcp.local");
    const QStringList looked = debugLines.filter(QStringLiteral("Looking for service: "));
    ASSERT_EQ(looked.size(), 2);
    EXPECT_EQ(looked[0], "Looking for service: " + first + ".local");
    EXPECT_EQ(looked[1], "Looking for service: " + second + ".local");
    EXPECT_EQ(added.at(0).at(0).value<BonjourInfo>(), device((second + ".local").toStdString()));
}

TEST_F(AddByIpTest, FamilyTypeEqualToTheDefaultIsAskedTwiceThenNotFound)
{
    addFamily({QStringLiteral("_tarnwright._tcp")});
    script_.answers[kDefault] = Script::FailAtOnce;
    QSignalSpy added(controller_.get(), &AddByIpAddressController::deviceAddedByIP);
    window_.show();
    typeAndAdd(QStringLiteral("10.0.0.8"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog()->notFoundRow()->isVisibleTo(dialog()); }, 2000));
    EXPECT_EQ(script_.asked, (QStringList{"10.0.0.8 _tarnwright._tcp.local", "10.0.0.8 _tarnwright._tcp.local"}));
    EXPECT_EQ(added.count(), 0);
    EXPECT_TRUE(dialog()->closeRow()->isVisibleTo(dialog()));
    EXPECT_FALSE(dialog()->busyButton()->isBusy());

    // Close, then open again: the input state, with the last address.
    QTest::mouseClick(dialog()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog()->isVisible());
    controller_->showDialog();
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_TRUE(dialog()->inputRow()->isVisibleTo(dialog()));
    EXPECT_FALSE(dialog()->notFoundRow()->isVisibleTo(dialog()));
    EXPECT_EQ(dialog()->address(), "10.0.0.8");
}

// A time-out and a reply of one query can both be queued; the second must not end the next query.
TEST_F(AddByIpTest, LateCompletionOfAnEarlierQueryIsIgnored)
{
    addFamily({QStringLiteral("_a._tcp")});
    QSignalSpy added(controller_.get(), &AddByIpAddressController::deviceAddedByIP);
    window_.show();
    typeAndAdd(QStringLiteral("10.0.0.9"));
    ASSERT_EQ(script_.asked.size(), 1);
    AddressQuery::Finished* first = script_.lastFinished;
    (*first)(false, BonjourInfo());   // the time-out
    (*first)(true, device(kDefault)); // and the reply, at about the same moment
    ASSERT_TRUE(QTest::qWaitFor([&] { return script_.asked.size() == 2; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(added.count(), 0);
    EXPECT_TRUE(controller_->isQuerying());
    EXPECT_TRUE(dialog()->busyRow()->isVisibleTo(dialog()));
    EXPECT_EQ(script_.alive, 1);
}

TEST_F(AddByIpTest, CancelDropsTheQueryAndIgnoresItsLateCompletion)
{
    QSignalSpy added(controller_.get(), &AddByIpAddressController::deviceAddedByIP);
    window_.show();
    for (const bool byBusyButton : {false, true}) {
        typeAndAdd(QStringLiteral("10.0.0.10"));
        ASSERT_TRUE(controller_->isQuerying());
        EXPECT_TRUE(dialog()->busyButton()->isSpinning());
        (*script_.lastFinished)(true, device(kDefault)); // queued, then the user cancels
        if (byBusyButton)
            emit dialog()->busyButton()->clicked();
        else
            emit dialog()->addCancelled();
        EXPECT_FALSE(controller_->isQuerying());
        EXPECT_EQ(script_.alive, 0);
        EXPECT_FALSE(dialog()->isVisible());
        QTest::qWait(50);
        EXPECT_EQ(added.count(), 0);
    }
}

TEST(AddByIpDialog, StatesShowTheirRows)
{
    QWidget window;
    window.resize(800, 600);
    AddByIpAddressDialog dialog(&window);
    window.show();
    dialog.show();
    struct Row {
        int state;
        bool input, busy, notFound, buttons, close, spinning;
    };
    const Row rows[] = {
        {AddByIpAddressDialog::Checking, false, true, false, false, true, true},
        {AddByIpAddressDialog::NotFound, false, false, true, false, true, false},
        {7, false, false, true, false, true, false}, // unknown: unchanged
        {AddByIpAddressDialog::Input, true, false, false, true, false, false},
        {-1, true, false, false, true, false, false},
    };
    for (const Row& row : rows) {
        dialog.setBusy(row.state);
        EXPECT_EQ(dialog.inputRow()->isVisible(), row.input) << row.state;
        EXPECT_EQ(dialog.busyRow()->isVisible(), row.busy) << row.state;
        EXPECT_EQ(dialog.notFoundRow()->isVisible(), row.notFound) << row.state;
        EXPECT_EQ(dialog.buttonRow()->isVisible(), row.buttons) << row.state;
        EXPECT_EQ(dialog.closeRow()->isVisible(), row.close) << row.state;
        EXPECT_EQ(dialog.busyButton()->isSpinning(), row.spinning) << row.state;
    }
    EXPECT_EQ(dialog.address(), "0.0.0.0");
}

TEST(AddByIpDialog, AddIsEnabledOnlyForACompleteAddress)
{
    QWidget window;
    AddByIpAddressDialog dialog(&window);
    EXPECT_TRUE(dialog.addButton()->isEnabled());
    const std::pair<const char*, bool> rows[] = {
        {"192.168.1.10", true}, {"192.168.001.010", true}, {"192.168.", false}, {"", false}, {"10.0.0.1", true},
    };
    for (const auto& row : rows) {
        dialog.addressField()->setText(QString::fromLatin1(row.first));
        EXPECT_EQ(dialog.addButton()->isEnabled(), row.second) << row.first;
    }
    // The validator refuses a first number of 256 as it is typed.
    dialog.addressField()->clear();
    dialog.addressField()->setFocus();
    QTest::keyClicks(dialog.addressField(), QStringLiteral("256.1.1.1"));
    EXPECT_FALSE(dialog.address().startsWith(QLatin1String("256")));
}

TEST(AddByIpDialog, ReturnMovesTheFocusOn)
{
    QWidget window;
    window.resize(800, 600);
    AddByIpAddressDialog dialog(&window);
    window.show();
    dialog.show();
    QApplication::setActiveWindow(&window);
    dialog.addressField()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.addressField()->hasFocus(); }, 1000));
    QTest::keyClick(dialog.addressField(), Qt::Key_Return);
    EXPECT_FALSE(dialog.addressField()->hasFocus());
}
