#include "kit/widgets/BusyButton.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/CommonDialog.h"
#include "kit/widgets/ConnectionLostDialog.h"
#include "kit/widgets/StyleHelpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>

#include <memory>

namespace {

constexpr int kTextWidth = 440;

// Lines the text takes at the dialog's text width with a kit font, from the font's metrics.
int linesOf(const QString& text, int fontIndex)
{
    if (text.isEmpty())
        return 1; // an empty label still reports one line
    const QFontMetrics metrics(kitFont(fontIndex));
    const QRect box = metrics.boundingRect(QRect(0, 0, kTextWidth, 100000),
                                           Qt::AlignLeft | Qt::TextWordWrap, text);
    return (box.height() + metrics.lineSpacing() / 2) / metrics.lineSpacing();
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(800, 600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void expectCoversWindow(QWidget* dialog)
    {
        EXPECT_EQ(dialog->parentWidget(), window.get());
        EXPECT_EQ(dialog->geometry(), window->rect());
    }

    void expectPanelCentred(VantorelDialog* dialog)
    {
        const QFrame* panel = dialog->panel();
        EXPECT_EQ(panel->x(), (window->width() - panel->width()) / 2);
        EXPECT_EQ(panel->y(), (window->height() - panel->height()) / 2);
    }

    void resizeWindow(int width, int height)
    {
        window->resize(width, height);
        QCoreApplication::processEvents();
        ASSERT_EQ(window->size(), QSize(width, height));
    }

    std::unique_ptr<QWidget> window;
};

const QString kLongMessage = QStringLiteral(
    "The product could not be found on the network. Check that its cable is plugged in, that it "
    "is powered on, and that the computer and the product are on the same subnet; then try "
    "again, or add the product by its IP address from the menu below.");

TEST_F(DialogTest, TextPushesButtonsDownAndPanelFollows)
{
    const struct {
        QString heading;
        QString message;
    } rows[] = {
        {QStringLiteral("Update Required!"), QStringLiteral("Short.")},
        {QStringLiteral("Update Required!"),
         QStringLiteral("A new version of the software is available for this product. Update it "
                        "now to keep using it.")},
        {QStringLiteral("Update Required!"), kLongMessage},
        {QStringLiteral("A heading long enough to need a second line in the dialog's heading font"),
         kLongMessage + QLatin1Char(' ') + kLongMessage},
    };
    int previousButtonY = 0;
    for (const auto& row : rows) {
        CommonDialog dialog(QStringLiteral("Software Update"), window.get());
        dialog.setTitleAndMessage(row.heading, row.message);
        dialog.setTwoButtons(QStringLiteral("Cancel"), QStringLiteral("Update"));

        const int h1 = 25 * linesOf(row.heading, 12);
        const int h2 = 20 * linesOf(row.message, 3);
        SCOPED_TRACE(row.message.left(20).toStdString());
        EXPECT_EQ(dialog.headingLabel()->geometry(), QRect(30, 65, 440, h1));
        EXPECT_EQ(dialog.messageLabel()->geometry(), QRect(30, 65 + h1 + 4, 440, h2));
        const int textEnd = 65 + h1 + 4 + h2;
        EXPECT_EQ(dialog.noButton()->pos(), QPoint(222, textEnd + 39));
        EXPECT_EQ(dialog.yesButton()->pos(), QPoint(356, textEnd + 39));
        EXPECT_EQ(dialog.panel()->size(), QSize(500, textEnd + 97));
        EXPECT_GT(dialog.noButton()->y(), previousButtonY);
        previousButtonY = dialog.noButton()->y();
        expectPanelCentred(&dialog);
    }
    EXPECT_GE(linesOf(kLongMessage, 3), 3); // the long rows really wrap
    EXPECT_EQ(linesOf(rows[1].message, 3), 2);
}

TEST_F(DialogTest, MessageOnlyLayout)
{
    CommonDialog dialog(QStringLiteral("Bad Install"), window.get());
    // Construction leaves the empty message-only layout.
    EXPECT_EQ(dialog.panel()->size(), QSize(500, 65 + 20 + 97));
    EXPECT_FALSE(dialog.headingLabel()->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.plainMessageLabel()->isVisibleTo(&dialog));

    dialog.setMessageOnly(kLongMessage);
    const int h = 20 * linesOf(kLongMessage, 3);
    EXPECT_EQ(dialog.plainMessageLabel()->geometry(), QRect(30, 65, 440, h));
    EXPECT_EQ(dialog.closeButton()->pos(), QPoint(356, 65 + h + 39));
    EXPECT_EQ(dialog.progressBar()->pos(), QPoint(30, 65 + h + 34));
    EXPECT_EQ(dialog.progressLabel()->pos(), QPoint(30, 65 + h + 40));
    EXPECT_EQ(dialog.spinner()->pos(), QPoint((500 - dialog.spinner()->width()) / 2, 65 + h + 43));
    EXPECT_EQ(dialog.panel()->height(), 65 + h + 97);
    EXPECT_EQ(dialog.titleLabel()->text(), QStringLiteral("Bad Install"));
}

TEST_F(DialogTest, ModesShowExactlyTheirControls)
{
    CommonDialog dialog(QStringLiteral("Title"), window.get());
    dialog.show();
    dialog.spinner()->show();
    dialog.spinner()->setBusy(true);
    ASSERT_TRUE(dialog.spinner()->isSpinning());

    using Mode = void (*)(CommonDialog&);
    const struct {
        const char* name;
        Mode apply;
        bool no, yes, close, bar;
    } rows[] = {
        {"two", [](CommonDialog& d) { d.setTwoButtons("A", "B"); }, true, true, false, false},
        {"single", [](CommonDialog& d) { d.setSingleButton("C"); }, false, false, true, false},
        {"progress", [](CommonDialog& d) { d.showProgressBar(); }, false, false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.apply(dialog);
        EXPECT_EQ(dialog.noButton()->isVisible(), row.no);
        EXPECT_EQ(dialog.yesButton()->isVisible(), row.yes);
        EXPECT_EQ(dialog.closeButton()->isVisible(), row.close);
        EXPECT_EQ(dialog.progressBar()->isVisible(), row.bar);
        EXPECT_EQ(dialog.progressLabel()->isVisible(), row.bar);
        EXPECT_FALSE(dialog.spinner()->isVisible());
        EXPECT_FALSE(dialog.spinner()->isSpinning());
    }
    EXPECT_EQ(dialog.noButton()->text(), QStringLiteral("A"));
    EXPECT_EQ(dialog.closeButton()->text(), QStringLiteral("C"));
}

TEST_F(DialogTest, ProgressBusyThenPercent)
{
    CommonDialog dialog(QStringLiteral("Title"), window.get());
    dialog.showProgressBar();
    dialog.setProgress(-1);
    EXPECT_EQ(dialog.progressBar()->maximum(), 0);
    EXPECT_EQ(dialog.progressLabel()->text(), QStringLiteral("..."));
    dialog.progressLabel()->setText(QStringLiteral("marker"));
    dialog.setProgress(-1); // a further negative value changes nothing
    EXPECT_EQ(dialog.progressLabel()->text(), QStringLiteral("marker"));
    dialog.setProgress(30);
    EXPECT_EQ(dialog.progressBar()->minimum(), 0);
    EXPECT_EQ(dialog.progressBar()->maximum(), 100);
    EXPECT_EQ(dialog.progressBar()->value(), 30);
    EXPECT_EQ(dialog.progressLabel()->text(), QStringLiteral("30%"));
    dialog.setProgress(-5);
    EXPECT_EQ(dialog.progressBar()->maximum(), 0);
}

TEST_F(DialogTest, FollowsWindowResize)
{
    CommonDialog dialog(QStringLiteral("Title"), window.get());
    dialog.show();
    expectCoversWindow(&dialog);
    expectPanelCentred(&dialog);
    resizeWindow(1000, 700);
    expectCoversWindow(&dialog);
    expectPanelCentred(&dialog);
    // A later change of the panel's size re-centres it.
    dialog.setMessageOnly(kLongMessage);
    expectPanelCentred(&dialog);
}

TEST_F(DialogTest, BuiltOnChildWidgetCoversWindowAndDiesWithIt)
{
    auto* card = new QWidget(window.get());
    card->setGeometry(100, 80, 300, 200);
    card->show();
    QPointer<CommonDialog> dialog = new CommonDialog(QStringLiteral("Title"), card);
    dialog->show();
    expectCoversWindow(dialog);
    EXPECT_TRUE(dialog->isVisible());
    resizeWindow(900, 640);
    expectCoversWindow(dialog);
    expectPanelCentred(dialog);

    delete card;
    EXPECT_FALSE(dialog && dialog->isVisible());
    processDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(DialogTest, WidgetPlacedInWindowAfterConstructionIsFollowed)
{
    auto* tab = new QWidget; // built before it joins the window
    QPointer<CommonDialog> dialog = new CommonDialog(QStringLiteral("Title"), tab);
    tab->setParent(window.get());
    dialog->show();
    expectCoversWindow(dialog);
    resizeWindow(700, 500);
    expectCoversWindow(dialog);
    delete tab;
    processDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(DialogTest, ConnectionLostTexts)
{
    ConnectionLostDialog dialog(window.get());
    EXPECT_EQ(dialog.titleLabel()->text(), QStringLiteral("Connection Lost"));
    dialog.setDisconnected(1);
    EXPECT_FALSE(dialog.headingLabel()->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.headingLabel()->text().isEmpty());

    dialog.setDisconnected(0);
    EXPECT_EQ(dialog.headingLabel()->text(), QStringLiteral("Product Disconnected!"));
    EXPECT_EQ(dialog.messageLabel()->text(),
              QStringLiteral("Please check that your product is connected and powered on."));
    EXPECT_TRUE(dialog.closeButton()->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.yesButton()->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.closeButton()->text(), QStringLiteral("Close"));
}

} // namespace
