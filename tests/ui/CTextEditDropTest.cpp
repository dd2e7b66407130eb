#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "CTextEditDrop.h"
#include "TempDir.h"

namespace {

QString touch(const QString& name) {
  const QString path = TestEnv::tempPath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  return path;
}

QMimeData* urls(const QStringList& paths) {
  auto* data = new QMimeData;
  QList<QUrl> list;
  for (const QString& p : paths) list.append(QUrl::fromLocalFile(p));
  data->setUrls(list);
  return data;
}

class DropProbe : public CTextEditDrop {
 public:
  using CTextEditDrop::dropEvent;
};

int dropCount(DropProbe& edit, QMimeData* data) {
  int reported = 0;
  QObject::connect(&edit, &CTextEditDrop::acceptDrop, [&](const QMimeData* d) {
    EXPECT_EQ(d, data);
    ++reported;
  });
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  drop.ignore();
  edit.dropEvent(&drop);
  return reported;
}

}  // namespace

TEST(CTextEditDrop, ADropWithOneListedSuffixAmongOthersIsReportedOnce) {
  DropProbe edit;
  edit.addExtension("wav");
  std::unique_ptr<QMimeData> data(
      urls({touch("notes.txt"), TestEnv::tempPath("missing.wav"), touch("song.wav"), touch("second.wav")}));
  EXPECT_TRUE(edit.acceptUrls(data.get()));
  EXPECT_EQ(dropCount(edit, data.get()), 1);
  EXPECT_TRUE(edit.toPlainText().isEmpty());
}

TEST(CTextEditDrop, SuffixComparisonIsCaseSensitiveAndFoldersNeedTheMode) {
  DropProbe edit;
  edit.addExtension("wav");
  std::unique_ptr<QMimeData> upper(urls({touch("SONG.WAV")}));
  EXPECT_FALSE(edit.acceptUrls(upper.get()));
  EXPECT_EQ(dropCount(edit, upper.get()), 0);
  EXPECT_FALSE(edit.acceptUrls(nullptr));

  QDir(TestEnv::tempDir()).mkdir("folder");
  std::unique_ptr<QMimeData> folder(urls({TestEnv::tempPath("folder")}));
  EXPECT_FALSE(edit.acceptUrls(folder.get()));
  edit.setMode(1);
  EXPECT_TRUE(edit.acceptUrls(folder.get()));
}
