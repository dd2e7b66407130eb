// Window placement: the fitting rule and the save/restore round trip.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ASTprotoSettings.h"
#include "WindowGeometry.h"

TEST(WindowGeometry, SavedRectanglesAreFittedIntoTheScreenArea) {
  const QRect area(0, 23, 1440, 877);
  const struct {
    QRect saved;
    QRect placed;
  } cases[] = {
      {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
      {QRect(1000, 100, 800, 600), QRect(640, 100, 800, 600)},
      {QRect(-200, 100, 800, 600), QRect(0, 100, 600, 600)},
      {QRect(0, 0, 2000, 600), QRect(0, 23, 1440, 577)},
  };
  for (const auto& c : cases) {
    QWidget window;
    EXPECT_TRUE(WindowGeometryAdjuster::adjustWindowToGeometry(window, c.saved, area));
    EXPECT_EQ(window.geometry(), c.placed);
  }
  QWidget window;
  window.setGeometry(10, 20, 300, 200);
  EXPECT_FALSE(WindowGeometryAdjuster::adjustWindowToGeometry(window, QRect(0, 0, 0, 0), area));
  EXPECT_EQ(window.geometry(), QRect(10, 20, 300, 200));
}

TEST(WindowGeometry, RestoresOnlyOnTheSameScreenArea) {
  const WindowGeometrySettings record("TestWindow");
  QWidget first;
  first.setGeometry(50, 60, 320, 240);
  bool adjusted = false;
  const GeometryAdjuster spy = [&](QWidget& w, const QRect& g, const QRect& a) {
    adjusted = true;
    return WindowGeometryAdjuster::adjustWindowToGeometry(w, g, a);
  };
  EXPECT_FALSE(restoreWindowGeometry(first, record, spy)) << "nothing saved yet";
  EXPECT_FALSE(adjusted);

  saveWindowPlacement(first, record);
  EXPECT_FALSE(record.loadMaximized());
  QWidget second;
  second.setGeometry(0, 0, 100, 100);
  EXPECT_TRUE(restoreWindowGeometry(second, record, spy));
  EXPECT_EQ(second.geometry(), QRect(50, 60, 320, 240));

  // Another screen number or a changed screen area: nothing is restored.
  record.saveScreenNumber(QGuiApplication::screens().size());
  EXPECT_FALSE(restoreWindowGeometry(second, record, spy));
  record.saveScreenNumber(0);
  record.saveScreenGeometry(QGuiApplication::screens().at(0)->availableGeometry().adjusted(0, 0, -1, 0));
  EXPECT_FALSE(restoreWindowGeometry(second, record, spy));
}

TEST(WindowGeometry, OnlyTheExactTranslatedTrueCountsAsMaximized) {
  const WindowGeometrySettings record("TestWindow");
  record.saveMaximized(true);
  EXPECT_TRUE(record.loadMaximized());
  writeSettingString("TestWindow", "Maximized", "True");
  EXPECT_FALSE(record.loadMaximized());
  writeSettingString("TestWindow", "Maximized", "1");
  EXPECT_FALSE(record.loadMaximized());
}
