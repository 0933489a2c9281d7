// Leaving the editor: the window closes on the session's end as on Exit, and what the widgets
// leave running (their style's animations) ends before the application object does.
#include <gtest/gtest.h>

#include <QAnimationDriver>
#include <QApplication>
#include <QMetaMethod>
#include <QPointer>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QVariantAnimation>
#include <functional>
#include <memory>

#include "app/command_line.h"
#include "app/teardown.h"
#include "ui_test_util.h"

namespace orv::ui::test {
namespace {

// Stands in for the animation timer, whose start and stop it sees: the unified timer starts its
// driver while an animation runs and stops it when the last one has ended.
class WatchedDriver : public QAnimationDriver {};

// A busy progress bar: the style animates it for as long as it is shown.
QWidget* BusyBar(const char* style) {
    auto* bar = new QProgressBar;
    bar->setStyle(QStyleFactory::create(style));
    bar->style()->setParent(bar);
    bar->setRange(0, 0);
    bar->resize(200, 24);
    bar->show();
    return bar;
}

// A window with an animation of its own, running without end.
QWidget* Animated() {
    auto* w = new QWidget;
    auto* a = new QVariantAnimation(w);
    a->setStartValue(0);
    a->setEndValue(100);
    a->setDuration(1000);
    a->setLoopCount(-1);
    a->start();
    w->show();
    return w;
}

// How a window goes: deleted by its owner, left for the teardown, or deleted later.
enum class Ends { kDeleted, kLeftOpen, kDeleteLater };

TEST(ExitTest, AnimationTimersStopBeforeTheApplicationEnds) {
    const struct {
        const char* name;
        std::function<QWidget*()> make;
        Ends ends;
    } cases[] = {
        {"a busy bar in the Fusion style, deleted", [] { return BusyBar("Fusion"); },
         Ends::kDeleted},
        {"a busy bar in the Windows style, deleted", [] { return BusyBar("Windows"); },
         Ends::kDeleted},
        {"a busy bar left open", [] { return BusyBar("Fusion"); }, Ends::kLeftOpen},
        {"a window's own animation, left open", Animated, Ends::kLeftOpen},
        {"a window's own animation, deleted later", Animated, Ends::kDeleteLater},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WatchedDriver driver;
        driver.install();
        QPointer<QWidget> window = c.make();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->repaint();  // the style starts its animation as it draws
        QTest::qWait(50);   // the timer starts on the next turn of the event loop
        ASSERT_TRUE(driver.isRunning());
        if (c.ends == Ends::kDeleted) {
            delete window;
            // Nothing more happens by itself: the stop waits for an event loop that, once the
            // windows have closed, no longer runs.
            EXPECT_TRUE(driver.isRunning());
        } else if (c.ends == Ends::kDeleteLater) {
            window->deleteLater();
        }
        orv::app::EndWidgetsBeforeApplication();
        EXPECT_TRUE(window.isNull());
        EXPECT_FALSE(driver.isRunning());
        driver.uninstall();
    }
}

// The desktop session's end quits the application: the window unloads as on File > Exit.
TEST(ExitTest, SessionEndClosesAndUnloadsTheWindow) {
    ClearSettings();
    Harness h;
    h.window->show();
    orv::app::CloseWhenQuitting(*h.window);
    h.window->findChild<QComboBox*>("lstComPort")->setCurrentIndex(3);
    ASSERT_EQ(GetSetting("ComPort"), std::nullopt);
    const QMetaMethod aboutToQuit = QMetaMethod::fromSignal(&QCoreApplication::aboutToQuit);
    ASSERT_TRUE(aboutToQuit.invoke(qApp, Qt::DirectConnection));
    EXPECT_FALSE(h.window->isVisible());
    EXPECT_EQ(GetSetting("ComPort"), "3");
}

TEST(ExitTest, EveryWindowHasTheProgramsIcon) {
    const QIcon before = QApplication::windowIcon();
    orv::app::SetApplicationIcon();
    const QIcon icon = QApplication::windowIcon();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    EXPECT_TRUE(icon.availableSizes().contains(QSize(256, 256)));
    // Drawn, not blank: the case of the unit is dark blue.
    const QImage picture = icon.pixmap(32, 32).toImage();
    EXPECT_GT(qAlpha(picture.pixel(16, 24)), 200);
    EXPECT_LT(qRed(picture.pixel(16, 24)), 120);
    Harness h;
    EXPECT_EQ(h.window->windowIcon().cacheKey(), icon.cacheKey());
    QApplication::setWindowIcon(before);
}

}  // namespace
}  // namespace orv::ui::test
