// The layout record: what it records and how it scales, on a small tree of widgets.

#include "ui/layout_record.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

QRect Geometry(const TLayoutEntry& e) {
  return {e.Left, e.Top, e.Width, e.Height};
}

TEST(TLayoutRecordMath, TruncatesEachValueTowardZero) {
  const TLayoutEntry design{true, 9, 7, 101, 23, 9};
  const TLayoutEntry half = ScaledEntry(design, 0.5, 0.5);
  EXPECT_EQ(Geometry(half), QRect(4, 3, 50, 11));
  EXPECT_EQ(half.FontSize, 4) << "a 9-point font at one half is 4 points";
  const TLayoutEntry third = ScaledEntry(design, 1.0 / 3, 1.0 / 3);
  EXPECT_EQ(Geometry(third), QRect(3, 2, 33, 7));
}

TEST(TLayoutRecordMath, FontFollowsTheSmallerFactor) {
  const TLayoutEntry design{true, 10, 10, 100, 20, 8};
  EXPECT_EQ(ScaledEntry(design, 2.0, 1.0).FontSize, 8);
  EXPECT_EQ(ScaledEntry(design, 1.0, 2.0).FontSize, 8);
  EXPECT_EQ(ScaledEntry(design, 1.5, 1.5).FontSize, 12) << "a tie takes sy, the same value";
  EXPECT_EQ(ScaledEntry(design, 0.75, 3.0).FontSize, 6);
  EXPECT_EQ(ScaledEntry(design, 0.1, 0.1).FontSize, 1) << "never a font of 0 points";
  const TLayoutEntry wide = ScaledEntry(design, 2.0, 1.0);
  EXPECT_EQ(Geometry(wide), QRect(20, 10, 200, 20)) << "lefts and widths double, tops stay";
}

class TLayoutRecordWidgets : public ::testing::Test {
protected:
  void SetUp() override {
    Root = std::make_unique<QWidget>();
    Root->resize(400, 300);
    Label = new QLabel("label", Root.get());
    Label->setProperty("ClassName", "TLabel");
    Label->setGeometry(10, 20, 80, 17);
    QFont nine = Label->font();
    nine.setPointSize(9);
    Label->setFont(nine);
    Edit = new QLineEdit(Root.get());
    Edit->setProperty("ClassName", "TEdit");
    Edit->setGeometry(101, 33, 51, 22);
    Timer = new QTimer(Root.get());
    Timer->setProperty("ClassName", "TTimer");
    // A visual widget carrying a non-visual class name is left alone all the same: the class
    // name decides, not the kind of object.
    Disguised = new QWidget(Root.get());
    Disguised->setProperty("ClassName", "TOpenDialog");
    Disguised->setGeometry(5, 5, 10, 10);
    Components = {Label, Timer, Edit, Disguised};
  }

  std::unique_ptr<QWidget> Root;
  QLabel* Label = nullptr;
  QLineEdit* Edit = nullptr;
  QTimer* Timer = nullptr;
  QWidget* Disguised = nullptr;
  std::vector<QObject*> Components;
};

TEST_F(TLayoutRecordWidgets, RecordsVisualComponentsInComponentOrder) {
  const std::vector<TLayoutEntry> entries = RecordGeometry(Components);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_TRUE(entries[0].Recorded);
  EXPECT_EQ(Geometry(entries[0]), QRect(10, 20, 80, 17));
  EXPECT_EQ(entries[0].FontSize, 9);
  EXPECT_FALSE(entries[1].Recorded) << "the timer";
  EXPECT_TRUE(entries[2].Recorded);
  EXPECT_EQ(Geometry(entries[2]), QRect(101, 33, 51, 22));
  EXPECT_FALSE(entries[3].Recorded) << "a non-visual class name";
}

TEST_F(TLayoutRecordWidgets, ScalesFromTheDesignValuesAndReturnsExactly) {
  const std::vector<TLayoutEntry> entries = RecordGeometry(Components);
  ScaleGeometry(Components, entries, 0.5, 0.5);
  EXPECT_EQ(Label->geometry(), QRect(5, 10, 40, 8));
  EXPECT_EQ(Label->font().pointSize(), 4);
  EXPECT_EQ(Edit->geometry(), QRect(50, 16, 25, 11));
  EXPECT_EQ(Disguised->geometry(), QRect(5, 5, 10, 10)) << "not recorded, not moved";
  // Repeated scaling starts from the design values each time: no rounding piles up.
  for (const double s : {0.37, 1.91, 0.66, 1.33})
    ScaleGeometry(Components, entries, s, s);
  ScaleGeometry(Components, entries, 1.0, 1.0);
  EXPECT_EQ(Label->geometry(), QRect(10, 20, 80, 17));
  EXPECT_EQ(Label->font().pointSize(), 9);
  EXPECT_EQ(Edit->geometry(), QRect(101, 33, 51, 22));
}

TEST(TLayoutRecordPlacement, OnlyWhatTheWindowPlacesIsRecorded) {
  QWidget root;
  auto* placed = new QLabel("placed", &root);
  placed->setGeometry(4, 4, 40, 17);
  auto* tabs = new QTabWidget(&root);
  tabs->setGeometry(10, 40, 300, 200);
  auto* page = new QWidget;
  tabs->addTab(page, "page");
  auto* onPage = new QLineEdit(page);
  auto* laidOut = new QWidget(page);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(laidOut);
  auto* box = new QScrollArea(&root);
  auto* client = new QWidget;
  box->setWidget(client);
  auto* onClient = new QLabel("on the client", client);

  EXPECT_TRUE(PlacedByWindow(placed));
  EXPECT_TRUE(PlacedByWindow(tabs));
  EXPECT_FALSE(PlacedByWindow(page)) << "the tab control places its pages";
  EXPECT_TRUE(PlacedByWindow(onPage)) << "a page's own children are the window's to place";
  EXPECT_FALSE(PlacedByWindow(laidOut)) << "a layout places what it holds";
  EXPECT_TRUE(PlacedByWindow(box));
  EXPECT_FALSE(PlacedByWindow(client)) << "the scroll box places its client";
  EXPECT_TRUE(PlacedByWindow(onClient));
  EXPECT_FALSE(PlacedByWindow(&root)) << "nor the window itself";

  const std::vector<QObject*> components{placed, page, laidOut, client, onClient};
  const std::vector<TLayoutEntry> entries = RecordGeometry(components);
  EXPECT_TRUE(entries[0].Recorded);
  EXPECT_FALSE(entries[1].Recorded);
  EXPECT_FALSE(entries[2].Recorded);
  EXPECT_FALSE(entries[3].Recorded);
  EXPECT_TRUE(entries[4].Recorded);
  const QRect pageBefore = page->geometry();
  ScaleGeometry(components, entries, 2.0, 2.0);
  EXPECT_EQ(page->geometry(), pageBefore) << "a page is left to its tab control";
  EXPECT_EQ(placed->geometry(), QRect(8, 8, 80, 34));
}

} // namespace
