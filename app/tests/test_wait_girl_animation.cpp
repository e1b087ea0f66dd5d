// The waiting animation over time: its frames in order on a 0.3 s timer, the still picture for
// reduced motion, and the desktop's answer to that question.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <optional>

#include "widgets/WaitGirlView.h"

namespace {

// A view whose reduced-motion answer is fixed and given at once, counting how often it was asked.
struct TestView {
  explicit TestView(bool reducedMotion) {
    view.setReducedMotionQuery([this, reducedMotion](QObject*, std::function<void(bool)> answer) {
      ++questions;
      answer(reducedMotion);
    });
  }
  WaitGirlView view;
  int questions = 0;
};

TEST(Animation, NewViewIsIdle) {
  const WaitGirlView view;
  EXPECT_EQ(view.frameIndex(), 0);
  EXPECT_FALSE(view.isAnimating());
  EXPECT_EQ(view.timer(), nullptr);
}

TEST(Animation, BuildsUpTheBubbleThenTapsTheFoot) {
  TestView t(false);
  t.view.startWaiting();
  std::vector<int> shown = {t.view.frameIndex()};
  for (int i = 0; i < 8; ++i) {
    t.view.tick();
    shown.push_back(t.view.frameIndex());
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 5, 4, 5, 4, 5}));
}

TEST(Animation, RunsOnARepeatingTimerOfThreeTenthsOfASecond) {
  TestView t(false);
  t.view.startWaiting();
  ASSERT_TRUE(t.view.isAnimating());
  ASSERT_NE(t.view.timer(), nullptr);
  EXPECT_TRUE(t.view.timer()->isActive());
  EXPECT_FALSE(t.view.timer()->isSingleShot());
  EXPECT_EQ(t.view.timer()->interval(), 300);
}

TEST(Animation, TimerStepsTheFrames) {
  TestView t(false);
  t.view.startWaiting();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (t.view.frameIndex() >= 3)
      loop.quit();
  });
  poll.start(10);
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);  // guard against a hang only
  loop.exec();
  EXPECT_GE(t.view.frameIndex(), 3);
}

TEST(Animation, SecondStartDoesNotRestartTheSequence) {
  TestView t(false);
  t.view.startWaiting();
  const QTimer* timer = t.view.timer();
  t.view.tick();
  t.view.tick();
  t.view.startWaiting();
  EXPECT_EQ(t.view.frameIndex(), 3);
  EXPECT_EQ(t.view.timer(), timer);
  EXPECT_EQ(t.questions, 1);
}

TEST(Animation, StopShowsTheIdlePictureAndEndsTheTimer) {
  TestView t(false);
  t.view.startWaiting();
  t.view.tick();
  t.view.stopWaiting();
  EXPECT_EQ(t.view.frameIndex(), 0);
  EXPECT_FALSE(t.view.isAnimating());
  EXPECT_EQ(t.view.timer(), nullptr);
}

TEST(Animation, StopWithoutStartOnlyShowsTheIdlePicture) {
  TestView t(false);
  t.view.showFrame(3);
  t.view.stopWaiting();
  EXPECT_EQ(t.view.frameIndex(), 0);
  EXPECT_FALSE(t.view.isAnimating());
  EXPECT_EQ(t.questions, 0);
}

TEST(Animation, StartsAgainFromTheFirstFrameAfterAStop) {
  TestView t(false);
  t.view.startWaiting();
  t.view.tick();
  t.view.stopWaiting();
  t.view.startWaiting();
  EXPECT_EQ(t.view.frameIndex(), 1);
  EXPECT_TRUE(t.view.isAnimating());
}

TEST(Animation, ReducedMotionShowsTheStillRequestWithoutATimer) {
  TestView t(true);
  t.view.startWaiting();
  EXPECT_EQ(t.view.frameIndex(), 4);
  EXPECT_FALSE(t.view.isAnimating());
  t.view.startWaiting();
  EXPECT_EQ(t.view.frameIndex(), 4);
  EXPECT_EQ(t.questions, 2) << "the setting is read at every start that finds no timer";
  t.view.stopWaiting();
  EXPECT_EQ(t.view.frameIndex(), 0);
}

TEST(Animation, IdlePictureStaysUntilTheAnswerAndAnAnswerAfterAStopIsIgnored) {
  WaitGirlView view;
  std::vector<std::function<void(bool)>> answers;
  view.setReducedMotionQuery(
      [&answers](QObject*, std::function<void(bool)> answer) { answers.push_back(answer); });
  view.startWaiting();
  view.startWaiting();
  ASSERT_EQ(answers.size(), 1u) << "one question while it is open";
  EXPECT_EQ(view.frameIndex(), 0);
  EXPECT_FALSE(view.isAnimating());
  answers[0](false);
  EXPECT_EQ(view.frameIndex(), 1);
  EXPECT_TRUE(view.isAnimating());

  view.stopWaiting();
  view.startWaiting();
  view.stopWaiting();
  ASSERT_EQ(answers.size(), 2u);
  answers[1](true);
  EXPECT_EQ(view.frameIndex(), 0);
  EXPECT_FALSE(view.isAnimating());
}

TEST(Animation, FrameOutsideTheTableIsIgnored) {
  WaitGirlView view;
  view.showFrame(2);
  view.showFrame(6);
  view.showFrame(-1);
  EXPECT_EQ(view.frameIndex(), 2);
}

// Runs the desktop's reduced-motion question against a stand-in `gsettings` that prints the
// given answer (or hangs), with XDG_CURRENT_DESKTOP set to `desktop`.
class ReducedMotionSetting : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    savedPath_ = qgetenv("PATH");
    if (qEnvironmentVariableIsSet("XDG_CURRENT_DESKTOP"))
      savedDesktop_ = qgetenv("XDG_CURRENT_DESKTOP");
  }
  void TearDown() override {
    qputenv("PATH", savedPath_);
    if (savedDesktop_) {
      qputenv("XDG_CURRENT_DESKTOP", *savedDesktop_);
    } else {
      qunsetenv("XDG_CURRENT_DESKTOP");
    }
  }

  bool Ask(const QByteArray& desktop, const QByteArray& script) {
    QFile tool(dir_.filePath(QStringLiteral("gsettings")));
    EXPECT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\n" + script + "\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", dir_.path().toUtf8() + ":" + savedPath_);
    qputenv("XDG_CURRENT_DESKTOP", desktop);
    QObject context;
    std::optional<bool> answer;
    AskSystemPrefersReducedMotion(&context, [&answer](bool reduce) { answer = reduce; });
    if (desktop.contains("GNOME")) {
      EXPECT_FALSE(answer.has_value()) << "the desktop's answer is never waited for";
    }
    const QDeadlineTimer guard(10000);  // against a hang only
    while (!answer && !guard.hasExpired())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(answer.has_value());
    return answer.value_or(false);
  }

 private:
  QTemporaryDir dir_;
  QByteArray savedPath_;
  std::optional<QByteArray> savedDesktop_;
};

TEST_F(ReducedMotionSetting, GnomeWithAnimationsOffWantsReducedMotion) {
  EXPECT_TRUE(Ask("ubuntu:GNOME", "echo false"));
}

TEST_F(ReducedMotionSetting, GnomeWithAnimationsOnAnimates) {
  EXPECT_FALSE(Ask("GNOME", "echo true"));
}

TEST_F(ReducedMotionSetting, OtherDesktopsAnimate) {
  EXPECT_FALSE(Ask("KDE", "echo false"));
}

TEST_F(ReducedMotionSetting, FailingLookupAnimates) {
  EXPECT_FALSE(Ask("GNOME", "echo false; exit 1"));
}

TEST_F(ReducedMotionSetting, LookupThatDoesNotAnswerAnimates) {
  EXPECT_FALSE(Ask("GNOME", "exec sleep 30"));
}

}  // namespace
