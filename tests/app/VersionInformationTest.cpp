// The property list behind the About box, and the box itself.

#include <gtest/gtest.h>

#include <QFile>

#include "Application.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"

namespace {

QString writePlist(const QString& dict) {
  const QString path = TestEnv::tempPath("Info.plist");
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(("<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict>" + dict + "</dict></plist>").toUtf8());
  return path;
}

}  // namespace

TEST(VersionInformation, ReadsKeysAndValuesInTurn) {
  Application::VersionInformation info(writePlist(
      "<key>CFBundleShortVersionString</key><string>1.2.3</string>"
      "<key>NSHumanReadableCopyright</key><string>Notice</string>"
      "<key>CFBundleName</key><array><string>A</string><string>B</string></array>"
      "<key>CFBundleVersion</key><string>7</string>"
      "<key>Flag</key><true/>"
      "<key>CFBundleShortVersionString</key><string>1.2.4</string>"));
  EXPECT_EQ(info.productName(), "Quillmere");
  EXPECT_EQ(info.shortVersion(), "1.2.4") << "a repeated key keeps the later value";
  EXPECT_EQ(info.copyright(), "Notice");
  EXPECT_EQ(info.bundleName(), "AB") << "an array's value is all the text inside it";
  EXPECT_EQ(info.bundleVersion(), "7");

  Application::VersionInformation missing(TestEnv::tempPath("none.plist"));
  EXPECT_EQ(missing.shortVersion(), "");
  EXPECT_EQ(missing.copyright(), "");
}

TEST(VersionInformation, AboutBoxShowsNameVersionAndNoticeOfTheBundle) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  MainWindow window;
  Application::VersionInformation bundle;
  ASSERT_FALSE(bundle.shortVersion().isEmpty()) << "the build places Info.plist beside bin/";
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  window.actionAbout->trigger();
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].title, "Application Information");
  EXPECT_EQ(driver.seen()[0].text, "Quillmere  V" + bundle.shortVersion() + "\n\n" + bundle.copyright());
}
