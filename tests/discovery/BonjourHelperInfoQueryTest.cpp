#include "discovery/BonjourHelperInfoQuery.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QThread>

#include <string>
#include <thread>
#include <utility>
#include <vector>

using TWG::BonjourHelperInfoQuery;

// A unicast query reports on its own threads, more than once; the receiver queues each report
// by name to the helper, whose reference in the call keeps it alive, and only the first one is
// handed on, on the helper's thread.
TEST(BonjourHelperInfoQuery, HandsOnTheFirstOutcomeOnceOnItsThread)
{
    std::vector<std::pair<bool, std::string>> outcomes;
    QThread* calledOn = nullptr;
    QPointer<BonjourHelperInfoQuery> watch;
    {
        auto helper = QSharedPointer<BonjourHelperInfoQuery>(new BonjourHelperInfoQuery([&](bool complete, const BonjourInfo& result) {
            outcomes.emplace_back(complete, result.name);
            calledOn = QThread::currentThread();
        }), [](BonjourHelperInfoQuery* o) { o->deleteLater(); });
        watch = helper.data();
        BonjourInfo found;
        found.name = "Box 1";
        std::thread([&] {
            for (const auto& report : {std::make_pair(true, found), std::make_pair(false, BonjourInfo())}) {
                EXPECT_TRUE(QMetaObject::invokeMethod(helper.data(), "onBonjourInfoQueryReceived", Qt::QueuedConnection,
                                                      Q_ARG(QSharedPointer<BonjourHelperInfoQuery>, helper),
                                                      Q_ARG(bool, report.first), Q_ARG(BonjourInfo, report.second)));
            }
        }).join();
    }
    EXPECT_TRUE(outcomes.empty()) << "handed on before the event loop ran";
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 2000)) << "the helper outlived its last reference";
    EXPECT_EQ(outcomes, (std::vector<std::pair<bool, std::string>>{{true, "Box 1"}}));
    EXPECT_EQ(calledOn, qApp->thread());
}
