#pragma once

// Force-included into every GoogleTest target. Qt Test's checks report through Qt Test's own
// logger and then `return`: inside a GoogleTest body a failed one leaves the test green and
// skips everything after it. Use EXPECT_*/ASSERT_* and ASSERT_TRUE(QTest::qWaitFor(...)).
// QSignalSpy, QTest::qWaitFor and QTest's input functions stay available.
//
// qtestcase.h is included first so that its guard keeps any later <QTest> from defining the
// names again; each is then undefined (poisoning a defined macro draws a warning) and poisoned,
// so a use anywhere after this point is a compile error naming it.

#include <QtTest/qtestcase.h>

#undef QVERIFY
#undef QVERIFY2
#undef QCOMPARE
#undef QFAIL
#undef QSKIP
#undef QEXPECT_FAIL
#undef QTEST
#undef QVERIFY_EXCEPTION_THROWN
#undef QTRY_VERIFY
#undef QTRY_VERIFY2
#undef QTRY_COMPARE
#undef QTRY_VERIFY_WITH_TIMEOUT
#undef QTRY_VERIFY2_WITH_TIMEOUT
#undef QTRY_COMPARE_WITH_TIMEOUT

#pragma GCC poison QVERIFY QVERIFY2 QCOMPARE QFAIL QSKIP QEXPECT_FAIL QTEST QVERIFY_EXCEPTION_THROWN
#pragma GCC poison QTRY_VERIFY QTRY_VERIFY2 QTRY_COMPARE
#pragma GCC poison QTRY_VERIFY_WITH_TIMEOUT QTRY_VERIFY2_WITH_TIMEOUT QTRY_COMPARE_WITH_TIMEOUT
