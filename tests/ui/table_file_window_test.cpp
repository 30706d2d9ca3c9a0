// File menu: default table at start-up, Open, Save, Save As, backups and the title.

#include "window_fixture.h"

#include "image/table_file.h"
#include "ui/memo.h"

#include <QComboBox>
#include <QLineEdit>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using TTableFileWindow = TWindowTest;

const QString kDefaultQuestion =
    "Click OK will save all changes to the default file.\nThis will change all the default "
    "values and automatically loaded up by KX470U programming software in the future.";

TImageBytes ValidImage(std::uint32_t firstCapcode = 777) {
  TConfigImage image;
  image.WriteU32(TConfigImage::CapcodeRecordOffset(0), firstCapcode);
  image.StoreChecksum();
  return image.Bytes();
}

QString StartPath(const TfmMain& w, const QString& name) {
  return QString::fromStdString(w.StartDirectory) + "/" + name;
}

TEST_F(TTableFileWindow, DefaultTableIsLoadedAtStartUpWithoutAChecksumTest) {
  TImageBytes bytes = TConfigImage::DefaultBytes(); // its checksum bytes are not a checksum
  WriteBigEndian32(bytes.data() + TConfigImage::CapcodeRecordOffset(2), 4242);
  WriteImage("default.tbl", bytes);
  TfmMain& w = ShowWindow();
  EXPECT_EQ(w.edtCap2->text(), "0004242");
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [" + StartPath(w, "default.tbl") + "]");
  EXPECT_EQ(Process->CurrentFileName, "default.tbl");
  EXPECT_TRUE(Messages.empty());
}

TEST_F(TTableFileWindow, ShortDefaultTableIsNotLoadedAndTheUserIsTold) {
  const std::string partial(1000, '\x42');
  WriteBytes("default.tbl", reinterpret_cast<const std::uint8_t*>(partial.data()), partial.size());
  TfmMain& w = ShowWindow();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_TRUE(Messages[0].Text.contains("default.tbl"));
  EXPECT_TRUE(Messages[0].Text.contains("1000"));
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
  EXPECT_EQ(w.edtCap0->text(), "1234560") << "the built-in image is shown";
  EXPECT_EQ(fs::file_size("default.tbl"), 1000u) << "the file is left alone";
  EXPECT_TRUE(Process->CurrentFileName.empty());
}

TEST_F(TTableFileWindow, UnreadableDefaultTableIsReportedAndSkipped) {
  fs::create_directory("default.tbl");
  TfmMain& w = ShowWindow();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_TRUE(Messages[0].Text.contains("was not loaded"));
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
}

TEST_F(TTableFileWindow, OpenShowsAValidFileAndPutsItsPathInTheTitle) {
  fs::create_directory("sites");
  WriteImage("sites/site1.tbl", ValidImage(1999999));
  TfmMain& w = ShowWindow();
  DialogAnswers.push_back(QString::fromStdString((Directory / "sites" / "site1.tbl").string()));
  w.mnuOpen->trigger();
  ASSERT_EQ(Dialogs.size(), 1u);
  EXPECT_EQ(Dialogs[0]->Filter, "Table files (*.tbl)|*.tbl");
  EXPECT_EQ(Dialogs[0]->DefaultExt, "tbl");
  EXPECT_EQ(Dialogs[0]->InitialDir, QString::fromStdString(w.StartDirectory));
  EXPECT_TRUE(Dialogs[0]->Options & ofFileMustExist);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.edtCap0->text(), "1999999");
  EXPECT_EQ(w.Image.Bytes(), ValidImage(1999999));
  const QString path = QString::fromStdString((Directory / "sites" / "site1.tbl").string());
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [" + path + "]");
  EXPECT_EQ(fs::current_path(), Directory / "sites") << "the dialog moved the working directory";
  EXPECT_EQ(w.SaveDialog1->FileName, "default.tbl") << "Open does not change the save target";
}

TEST_F(TTableFileWindow, OpenWithABadChecksumChangesNothing) {
  TImageBytes bad = ValidImage(555);
  bad[0x100] ^= 0x40;
  WriteImage("bad.tbl", bad);
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  const QString title = w.windowTitle();
  DialogAnswers.push_back(QString::fromStdString((Directory / "bad.tbl").string()));
  w.mnuOpen->trigger();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "Checksum error !");
  EXPECT_EQ(Messages[0].Caption, "KX470");
  EXPECT_EQ(Messages[0].Flags, unsigned{MB_OK | MB_ICONEXCLAMATION});
  EXPECT_EQ(w.Image.Bytes(), before);
  EXPECT_EQ(w.windowTitle(), title);
  EXPECT_EQ(w.edtCap0->text(), "1234560");
}

TEST_F(TTableFileWindow, OpenAcceptsChangesOutsideTheChecksumSpanAndLongFiles) {
  TImageBytes image = ValidImage(31337);
  image[0x7FA] = 0xEE;
  std::vector<std::uint8_t> longer(image.begin(), image.end());
  longer.insert(longer.end(), {1, 2, 3, 4, 5});
  WriteBytes("long.tbl", longer.data(), longer.size());
  TfmMain& w = ShowWindow();
  DialogAnswers.push_back(QString::fromStdString((Directory / "long.tbl").string()));
  w.mnuOpen->trigger();
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.edtCap0->text(), "0031337");
  EXPECT_EQ(w.Image[0x7FA], 0xEE);
}

TEST_F(TTableFileWindow, OpenRefusesShortAndEmptyFilesWithTheirSize) {
  WriteImage("default.tbl", ValidImage(4242));
  TImageBytes image = ValidImage(4000);
  WriteBytes("short.tbl", image.data(), 1024);
  WriteBytes("empty.tbl", image.data(), 0);
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  const QString title = w.windowTitle();
  for (const auto& [name, size] : {std::pair{"short.tbl", 1024}, std::pair{"empty.tbl", 0}}) {
    Messages.clear();
    const QString path = QString::fromStdString((Directory / name).string());
    DialogAnswers.push_back(path);
    w.mnuOpen->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QString("Can't open the table file %1: it holds %2 bytes; a table "
                                        "file holds 2048.\nThe configuration shown is unchanged.")
                                    .arg(path)
                                    .arg(size));
    EXPECT_EQ(Messages[0].Caption, "File Error");
    EXPECT_EQ(Messages[0].Flags, unsigned{MB_OK | MB_ICONEXCLAMATION});
    EXPECT_EQ(w.Image.Bytes(), before);
    EXPECT_EQ(w.windowTitle(), title);
    EXPECT_EQ(w.edtCap0->text(), "0004242");
  }
}

TEST_F(TTableFileWindow, OpenOfAFolderOrAFifoShowsTheFileErrorWithItsReason) {
  fs::create_directory("folder.tbl");
  ASSERT_EQ(::mkfifo("pipe.tbl", 0600), 0);
  TfmMain& w = ShowWindow();
  const TImageBytes before = w.Image.Bytes();
  for (const auto& [name, reason] : {std::pair{"folder.tbl", "it is a folder, not a table file"},
                                     std::pair{"pipe.tbl", "it is a FIFO, not a table file"}}) {
    Messages.clear();
    const QString path = QString::fromStdString((Directory / name).string());
    DialogAnswers.push_back(path);
    // A FIFO without a writer would hold the window for ever; a hang ends the test here.
    ::alarm(20);
    w.mnuOpen->trigger();
    ::alarm(0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text,
              "Can't perform one of the following file operations: Open, Seek, Read, Close.\n" +
                  path + ": " + reason);
    EXPECT_EQ(Messages[0].Caption, "File Error");
    EXPECT_EQ(Messages[0].Flags, unsigned{MB_OKCANCEL});
    EXPECT_EQ(w.Image.Bytes(), before);
    EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
  }
}

TEST_F(TTableFileWindow, CancelledOpenDoesNothing) {
  TfmMain& w = ShowWindow();
  w.mnuOpen->trigger();
  EXPECT_EQ(Dialogs.size(), 1u);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
}

TEST_F(TTableFileWindow, FirstSaveAsksTheDefaultTableQuestion) {
  TfmMain& w = ShowWindow();
  w.mnuSave->trigger();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, kDefaultQuestion);
  EXPECT_EQ(Messages[0].Caption, "KX470U");
  EXPECT_EQ(Messages[0].Flags, unsigned{MB_YESNO | MB_ICONEXCLAMATION});
  ASSERT_TRUE(fs::exists("default.tbl"));
  const std::vector<std::uint8_t> saved = ReadBytes("default.tbl");
  ASSERT_EQ(saved.size(), kImageSize);
  TImageBytes block;
  std::copy(saved.begin(), saved.end(), block.begin());
  EXPECT_TRUE(ChecksumValid(block));
  EXPECT_EQ(block, w.Image.Bytes()) << "the image in memory carries the fresh checksum too";
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [" + StartPath(w, "default.tbl") + "]");
  EXPECT_EQ(Process->CurrentFileName, "default.tbl");
}

TEST_F(TTableFileWindow, DeclinedDefaultQuestionWritesNothing) {
  WriteImage("default.tbl", ValidImage(1));
  TfmMain& w = ShowWindow();
  const QString title = w.windowTitle();
  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 2);
  Answers.push_back(IDNO);
  w.mnuSave->trigger();
  EXPECT_EQ(Messages.size(), 1u);
  EXPECT_FALSE(fs::exists("default.BAK"));
  const std::vector<std::uint8_t> kept = ReadBytes("default.tbl");
  const TImageBytes original = ValidImage(1);
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), original.begin()));
  EXPECT_EQ(w.windowTitle(), title);
}

TEST_F(TTableFileWindow, SavingOverTheLoadedDefaultTableKeepsABackup) {
  WriteImage("default.tbl", ValidImage(1));
  TfmMain& w = ShowWindow();
  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 2);
  w.mnuSave->trigger();
  ASSERT_TRUE(fs::exists("default.BAK"));
  const std::vector<std::uint8_t> backup = ReadBytes("default.BAK");
  const TImageBytes original = ValidImage(1);
  EXPECT_TRUE(std::equal(backup.begin(), backup.end(), original.begin()));
  EXPECT_EQ(ReadTableFile("default.tbl").Block, w.Image.Bytes());
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [default.tbl]")
      << "with a path already in the title, the name replaces it unchanged";
}

TEST_F(TTableFileWindow, AnExistingBackupIsKept) {
  WriteImage("default.tbl", ValidImage(1));
  WriteImage("default.BAK", ValidImage(99));
  TfmMain& w = ShowWindow();
  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 3);
  w.mnuSave->trigger();
  EXPECT_EQ(ReadTableFile("default.BAK").Block, ValidImage(99));
  EXPECT_EQ(ReadTableFile("default.tbl").Block, w.Image.Bytes());
}

TEST_F(TTableFileWindow, SaveAsOverAnExistingFileThenSaveWithoutQuestion) {
  fs::create_directory("data");
  WriteImage("data/site1.tbl", ValidImage(11));
  TfmMain& w = ShowWindow();
  const QString path = QString::fromStdString((Directory / "data" / "site1.tbl").string());
  DialogAnswers.push_back(path);
  w.mnuSaveAs->trigger();
  ASSERT_EQ(Dialogs.size(), 1u);
  EXPECT_TRUE(Dialogs[0]->Options & ofOverwritePrompt);
  EXPECT_EQ(Dialogs[0]->Filter, "Table files (*.tbl)|*.tbl");
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(ReadTableFile(Directory / "data" / "site1.BAK").Block, ValidImage(11))
      << "the backup goes to the working directory the dialog has just set";
  EXPECT_EQ(ReadTableFile(Directory / "data" / "site1.tbl").Block, w.Image.Bytes());
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [" + path + "]");

  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 12);
  w.mnuSave->trigger();
  EXPECT_TRUE(Messages.empty()) << "no default-table question for another file";
  EXPECT_EQ(ReadTableFile(Directory / "data" / "site1.tbl").Block, w.Image.Bytes());
  EXPECT_FALSE(fs::exists("default.tbl"));
}

TEST_F(TTableFileWindow, SaveAfterACancelledSaveAsWritesNothing) {
  TfmMain& w = ShowWindow();
  w.mnuSaveAs->trigger();
  EXPECT_TRUE(w.SaveDialog1->FileName.isEmpty());
  w.mnuSave->trigger();
  EXPECT_TRUE(Messages.empty());
  EXPECT_FALSE(fs::exists("default.tbl"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Directory), fs::directory_iterator()), 0);
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
}

TEST_F(TTableFileWindow, AFailedSaveIsReportedAndChangesNothing) {
  TfmMain& w = ShowWindow();
  DialogAnswers.push_back(QString::fromStdString((Directory / "missing" / "x.tbl").string()));
  w.mnuSaveAs->trigger();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Caption, "File Error");
  EXPECT_TRUE(Messages[0].Text.contains("x.tbl"));
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
  EXPECT_TRUE(Process->CurrentFileName.empty());
}

TEST_F(TTableFileWindow, SaveAsThroughASymbolicLinkKeepsTheLinkAndThePermissionBits) {
  fs::create_directory("real");
  WriteImage("real/site.tbl", ValidImage(11));
  fs::permissions("real/site.tbl",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real/site.tbl", "site.tbl");
  TfmMain& w = ShowWindow();
  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(0), 22);
  DialogAnswers.push_back(QString::fromStdString((Directory / "site.tbl").string()));
  w.mnuSaveAs->trigger();
  EXPECT_TRUE(Messages.empty());
  EXPECT_TRUE(fs::is_symlink("site.tbl"));
  EXPECT_EQ(ReadTableFile("real/site.tbl").Block, w.Image.Bytes());
  EXPECT_EQ(ReadTableFile("site.BAK").Block, ValidImage(11));
  EXPECT_EQ(fs::status("real/site.tbl").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(TTableFileWindow, SaveAsOntoAFifoIsRefusedAndTheFifoStays) {
  ASSERT_EQ(::mkfifo("pipe.tbl", 0600), 0);
  TfmMain& w = ShowWindow();
  const QString path = QString::fromStdString((Directory / "pipe.tbl").string());
  DialogAnswers.push_back(path);
  w.mnuSaveAs->trigger();
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "Can't save the table file " + path +
                                  ": it is a FIFO, not a table file.\nThe file on disk is "
                                  "unchanged.");
  EXPECT_EQ(Messages[0].Caption, "File Error");
  EXPECT_TRUE(fs::is_fifo("pipe.tbl"));
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
}

TEST_F(TTableFileWindow, SaveIntoAReadOnlyFolderIsReportedAndLosesNothing) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders; run the window tests as a normal user";
  fs::create_directory("locked");
  WriteImage("locked/site.tbl", ValidImage(5));
  TfmMain& w = ShowWindow();
  const QString path = QString::fromStdString((Directory / "locked" / "site.tbl").string());
  DialogAnswers.push_back(path);
  const fs::path locked = Directory / "locked";
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  w.mnuSaveAs->trigger();
  fs::permissions(locked, fs::perms::owner_all);
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0].Text, "Can't save the table file " + path +
                                  ": Permission denied.\nThe file on disk is unchanged.");
  EXPECT_EQ(fs::current_path(), locked) << "the dialog moved the working directory";
  EXPECT_EQ(ReadTableFile(locked / "site.tbl").Block, ValidImage(5));
  EXPECT_FALSE(fs::exists(locked / "site.BAK"));
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27");
  EXPECT_TRUE(Process->CurrentFileName.empty());
}

TEST_F(TTableFileWindow, ASavedFileOpensAgainAndShowsWhatWasSaved) {
  TfmMain& w = ShowWindow();
  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(5), 2097151);
  DialogAnswers.push_back(QString::fromStdString((Directory / "round.tbl").string()));
  w.mnuSaveAs->trigger();
  w.Image.WriteU32(TConfigImage::CapcodeRecordOffset(5), 8);
  DialogAnswers.push_back(QString::fromStdString((Directory / "round.tbl").string()));
  w.mnuOpen->trigger();
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(w.edtCap5->text(), "2097151");
}

TEST_F(TTableFileWindow, UpdateTitleReplacesOnlyWhatFollowsTheBracket) {
  TfmMain& w = ShowWindow();
  w.UpdateTitle("a");
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [a]");
  w.UpdateTitle("b/c.tbl");
  EXPECT_EQ(w.windowTitle(), "KX470U V1.27 - [b/c.tbl]");
}

} // namespace
