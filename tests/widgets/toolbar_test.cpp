// The toolbar's derived pictures and the balloon's placement.

#include "widgets/adv_toolbar.h"
#include "widgets/balloon_help.h"
#include "widgets/toolbar_pictures.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

void App() {
    static int argc = 1;
    static char name[] = "widgets_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

TEST(ToolbarColours, DisabledPicturesAreTheShadowLightenedByBrightness) {
    const QRgb shadow = qRgb(128, 128, 128);
    EXPECT_EQ(LightenColor(shadow, qRgb(0, 0, 0)), shadow);
    EXPECT_EQ(LightenColor(shadow, qRgb(255, 255, 255)), qRgb(255, 255, 255));
    EXPECT_EQ(LightenColor(shadow, qRgb(90, 120, 150)), qRgb(187, 187, 187));

    const QRgb face = qRgb(239, 239, 239);
    QImage img(3, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, kToolbarKeyColour);
    img.setPixel(1, 0, qRgb(0, 0, 0));
    img.setPixel(2, 0, qRgb(90, 120, 150));
    QImage normal = img;
    ReplaceBackgroundColor(normal, face);
    EXPECT_EQ(normal.pixel(0, 0), face | 0xFF000000);
    EXPECT_EQ(normal.pixel(2, 0), qRgb(90, 120, 150));
    QImage disabled = normal;
    GetDisabledBitmap(disabled, face, shadow);
    EXPECT_EQ(disabled.pixel(0, 0), face | 0xFF000000) << "the key colour is button face in both";
    EXPECT_EQ(disabled.pixel(1, 0), shadow | 0xFF000000);
    EXPECT_EQ(disabled.pixel(2, 0), qRgb(187, 187, 187));
}

TEST(ToolbarColours, ToolbarShowsElevenPicturesOn39PixelButtons) {
    App();
    const QImage strip = MakeToolbarStrip();
    ASSERT_EQ(strip.size(), QSize(kToolbarPictures * 32, 32));
    ASSERT_EQ(kToolbarPictures, 11);
    // Every picture has content, and no two pictures are the same.
    for (int i = 0; i < kToolbarPictures; ++i) {
        const QImage cell = strip.copy(i * 32, 0, 32, 32);
        int ink = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                ink += (cell.pixel(x, y) | 0xFF000000) != kToolbarKeyColour;
        EXPECT_GT(ink, 100) << "picture " << i;
        for (int j = 0; j < i; ++j)
            EXPECT_NE(cell, strip.copy(j * 32, 0, 32, 32)) << i << " and " << j;
    }
    CAdvToolBar bar;
    std::vector<QAction*> actions;
    for (int i = 0; i < 9; ++i) {
        actions.push_back(new QAction(&bar));
        if (i == 0)
            actions.push_back(nullptr);
    }
    ASSERT_TRUE(bar.CreateAdvToolBar(strip, actions));
    EXPECT_EQ(bar.iconSize(), QSize(32, 32));
    auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(actions[0]));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->size(), QSize(39, 39));
    const QRgb face = bar.palette().color(QPalette::Button).rgb() | 0xFF000000;
    const QImage disabled = actions[0]
                                ->icon()
                                .pixmap(32, 32, QIcon::Disabled)
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(disabled.pixel(0, 0), face);
    EXPECT_FALSE(bar.CreateAdvToolBar(strip.copy(0, 0, 64, 32), actions)) << "too few pictures";
}

TEST(Balloon, OpensTowardsTheScreenCentreAndStacksPerCall) {
    App();
    QMainWindow owner;
    owner.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    CBalloonHelp* a = CBalloonHelp::Create(QStringLiteral("Внимание!"), QStringLiteral("one\n"),
                                           screen.topLeft());
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->OpensBelow());
    EXPECT_TRUE(a->ExtendsRight());
    EXPECT_EQ(a->Anchor(), screen.topLeft()) << "an anchor at (0, 0) is kept";
    EXPECT_TRUE(a->geometry().contains(screen.topLeft() + QPoint(1, 1)) ||
                a->geometry().top() == screen.top());
    CBalloonHelp* b = CBalloonHelp::Create(QStringLiteral("Внимание!"), QStringLiteral("two\n"),
                                           screen.bottomRight());
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->OpensBelow());
    EXPECT_FALSE(b->ExtendsRight());
    EXPECT_LE(b->geometry().bottom(), screen.bottom()) << "above the anchor";
    EXPECT_LT(b->geometry().left(), screen.right() - 50) << "extends to the left";
    EXPECT_TRUE(a->isVisible());
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(a->isActiveWindow()) << "a balloon never takes the focus";

    // Closing one leaves the other.
    QPointer<CBalloonHelp> pa(a);
    a->CloseBalloon();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pa.isNull());
    EXPECT_TRUE(b->isVisible());
    b->CloseBalloon();
}

TEST(Balloon, ExportErrorsPointAtTheScreenCentreWithALineBreakAdded) {
    App();
    QMainWindow owner;
    owner.move(0, 0);
    owner.show();
    CBalloonHelp* b = ShowErrorAtScreenCentre(QStringLiteral("No space left on device"));
    ASSERT_NE(b, nullptr);
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center() + QPoint(1, 1);
    EXPECT_EQ(b->Anchor(), centre);
    EXPECT_FALSE(b->OpensBelow()) << "an anchor on the centre line counts as the lower half";
    b->CloseBalloon();
}

TEST(Balloon, NotShownWithoutAMainWindow) {
    App();
    EXPECT_EQ(CBalloonHelp::Create(QStringLiteral("t"), QStringLiteral("x"), QPoint(5, 5)),
              nullptr);
}

TEST(Balloon, StepsAsideForAModalDialogAndComesBackAfterIt) {
    App();
    QMainWindow owner;
    owner.show();
    QPointer<CBalloonHelp> before =
        CBalloonHelp::Create(QStringLiteral("Внимание!"), QStringLiteral("before\n"), {40, 40});
    ASSERT_TRUE(before && before->isVisible());

    QDialog dialog(&owner);
    QPointer<CBalloonHelp> during;
    bool hiddenDuring = false, duringHidden = false;
    QTimer::singleShot(0, &dialog, [&] {
        QApplication::processEvents();
        hiddenDuring = before && !before->isVisible() && before->WaitsForModal();
        // A balloon raised meanwhile (an SMTP send of another window ending) waits as well.
        during =
            CBalloonHelp::Create(QStringLiteral("Внимание!"), QStringLiteral("during\n"), {60, 60});
        duringHidden = during && !during->isVisible();
        dialog.accept();
    });
    dialog.exec();
    QApplication::processEvents();
    EXPECT_TRUE(hiddenDuring) << "no balloon above a modal dialog";
    EXPECT_TRUE(duringHidden);
    ASSERT_TRUE(before && during);
    EXPECT_TRUE(before->isVisible()) << "back when the dialog has gone";
    EXPECT_TRUE(during->isVisible());
    EXPECT_FALSE(before->WaitsForModal());

    // A balloon closed while it waits stays closed.
    QDialog second(&owner);
    QTimer::singleShot(0, &second, [&] {
        QApplication::processEvents();
        during->CloseBalloon();
        second.accept();
    });
    second.exec();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(during.isNull());
    EXPECT_TRUE(before->isVisible());
    before->CloseBalloon();
}

// A balloon speaks of its window and its moment: it goes with the window, with the user's next
// act anywhere (not with input already under way when it appeared), and a window's newest news
// replaces what it said before.
TEST(Balloon, BelongsToItsWindowAndItsMoment) {
    App();
    QMainWindow owner;
    owner.show();
    auto* subject = new QWidget(&owner);
    subject->show();
    QPointer<CBalloonHelp> a = ShowErrorBalloon(QStringLiteral("a"), {40, 40}, subject);
    ASSERT_TRUE(a && a->isVisible());
    delete subject;
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull()) << "gone with its window";

    auto* hidden = new QWidget(&owner);
    hidden->show();
    QPointer<CBalloonHelp> h = ShowInformationBalloon(QStringLiteral("h"), {40, 40}, hidden);
    ASSERT_TRUE(h);
    hidden->hide();
    QApplication::processEvents();
    EXPECT_TRUE(h.isNull() || !h->isVisible()) << "gone when its window is hidden";
    delete hidden;

    QPointer<CBalloonHelp> b = ShowErrorBalloon(QStringLiteral("b"), {60, 60});
    ASSERT_TRUE(b && b->isVisible());
    QTest::keyClick(&owner, Qt::Key_A);
    EXPECT_TRUE(b && b->isVisible()) << "a key already being typed does not sweep it away";
    QTest::qWait(CBalloonHelp::kInputGraceMs + 50);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(2, b->height() / 2));
    EXPECT_TRUE(b && b->isVisible()) << "a click on the balloon itself is no act elsewhere";
    QTest::mouseClick(&owner, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(b.isNull() || !b->isVisible()) << "the user's next act ends it";
}

} // namespace
