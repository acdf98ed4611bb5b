#include "plugins/zanthic/ui/ConnectionLostDialog.h"

#include "kit/widgets/CardPushButton.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>

using namespace TWG::Zanthic;

TEST(ZanthicConnectionLostDialog, TextsByTypeAndState)
{
    const QString usbTitle = QStringLiteral("USB Disconnected!");
    const QString usbText = QStringLiteral("Please check that your Mini is connected via USB and powered on.");
    const QString netTitle = QStringLiteral("Network Disconnected!");
    const QString netText =
        QStringLiteral("Please check that your Mini and computer are connected to the network and powered on.");
    const QString anyTitle = QStringLiteral("Mini Disconnected!");
    const QString anyText = QStringLiteral("Please check that your Mini is connected and powered on.");
    QWidget window;
    for (int type : {0, 1, 2, 3}) {
        for (ConnectionState state : {Idle, Connecting, Connected, Interrupted}) {
            SCOPED_TRACE(QStringLiteral("type %1 state %2").arg(type).arg(state).toStdString());
            ConnectionLostDialog dialog(&window, QStringLiteral("Mini"));
            EXPECT_EQ(dialog.titleLabel()->text(), QStringLiteral("Connection Lost"));
            dialog.setConnectionState(state);
            dialog.setConnectionType(type); // the type after the state rebuilds at once
            const bool interrupted = state == Interrupted;
            const QString title = interrupted && type == 1 ? usbTitle : interrupted && type == 2 ? netTitle : anyTitle;
            const QString text = interrupted && type == 1 ? usbText : interrupted && type == 2 ? netText : anyText;
            EXPECT_EQ(dialog.headingLabel()->text(), title);
            EXPECT_EQ(dialog.messageLabel()->text(), text);
            EXPECT_EQ(dialog.closeButton()->text(), QStringLiteral("Close"));
        }
    }
}
