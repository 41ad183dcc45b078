// Window size persistence, help, the page view, toolbars, the splitter, the
// splash window and About box, and the control helpers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "framework/widgets/dialog_items.h"
#include "framework/widgets/help.h"
#include "framework/widgets/html_object.h"
#include "framework/widgets/move_bar.h"
#include "framework/widgets/splash.h"
#include "framework/widgets/toolbar.h"
#include "framework/widgets/win_defs.h"
#include "framework/widgets/window_size.h"
#include "tests/support/test_support.h"

namespace {

// An in-memory settings store for one test.
class MemoryStore {
 public:
  MemoryStore() {
    LSetWindowSizeStorage({[this](const std::string& s, const std::string& k, int fallback) {
                             auto it = values.find(s + "/" + k);
                             return it == values.end() ? fallback : it->second;
                           },
                           [this](const std::string& s, const std::string& k, int v) { values[s + "/" + k] = v; }});
  }
  ~MemoryStore() { LSetWindowSizeStorage({}); }
  std::map<std::string, int> values;
};

// Restore goes through this clamp; a stored width beyond the desktop comes back cut to it.
TEST(WindowSize, ClampFitsSizeAndEdgesToTheDesktop) {
  QRect desktop(0, 0, 1024, 768);
  EXPECT_EQ(LClampToDesktop(QRect(160, 80, 5000, 494), desktop), QRect(0, 80, 1024, 494));
  EXPECT_EQ(LClampToDesktop(QRect(-50, -20, 300, 200), desktop), QRect(0, 0, 300, 200));
  EXPECT_EQ(LClampToDesktop(QRect(900, 700, 300, 200), desktop), QRect(724, 568, 300, 200));
  EXPECT_EQ(LClampToDesktop(QRect(10, 10, 300, 9000), desktop), QRect(10, 0, 300, 768));
  EXPECT_EQ(LClampToDesktop(QRect(100, 50, 300, 200), QRect(200, 100, 800, 600)), QRect(200, 100, 300, 200));
}

TEST(WindowSize, StoreRestoreAndTheMinimisedAndMaximisedCases) {
  MemoryStore store;
  QRect desktop = LDesktopRect();
  QWidget window;
  window.setGeometry(120, 90, 400, 300);
  window.show();
  WindowSizeSettingsStore(&window, "Test");

  // Stored and restored again the window keeps its size: no growth by its frame.
  QWidget again;
  WindowSizeSettingsRestore(&again, "Test", {});
  again.show();
  EXPECT_EQ(again.size(), window.size());
  EXPECT_EQ(again.frameGeometry().topLeft(), window.frameGeometry().topLeft());

  // Minimised: nothing is stored, the old size stays.
  auto before = store.values;
  window.resize(200, 100);
  window.setWindowState(Qt::WindowMinimized);
  WindowSizeSettingsStore(&window, "Test");
  EXPECT_EQ(store.values, before);

  // Maximised: only the flag.
  window.setWindowState(Qt::WindowMaximized);
  WindowSizeSettingsStore(&window, "Test");
  EXPECT_EQ(store.values["Test/Maximized"], 1);
  EXPECT_EQ(store.values["Test/Width"], before["Test/Width"]);

  // A right edge past the desktop is cut when stored.
  QWidget wide;
  wide.setGeometry(desktop.right() - 100, 10, 400, 200);
  wide.show();
  WindowSizeSettingsStore(&wide, "Wide");
  EXPECT_EQ(store.values["Wide/X"] + store.values["Wide/Width"] + (wide.frameGeometry().width() - wide.width()),
            desktop.left() + desktop.width());

  // Defaults apply to a section never stored; maximised comes back maximised.
  QWidget fresh;
  WindowSizeSettingsRestore(&fresh, "Fresh", {10, 20, 300, 200, true});
  EXPECT_TRUE(fresh.windowState() & Qt::WindowMaximized);
  QWidget plain;
  WindowSizeSettingsRestore(&plain, "Plain", {10, 20, 300, 200, false});
  EXPECT_EQ(plain.frameGeometry().topLeft(), QPoint(10, 20));
  EXPECT_FALSE(plain.windowState() & Qt::WindowMaximized);
}

// A missing topic shows nothing; every topic the windows use and every link
// exists. (The windows' tests open the contents and the topics.)
TEST(Help, TopicsAndLinksExistAndAMissingTopicShowsNothing) {
  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  DisplayHelp(9999);
  EXPECT_EQ(LHelpShownFile(), "");
  LSetHelpFolder("");
  QDir folder(ORATIVO_HELP_SOURCE);
  for (int topic : {101, 102, 103, 104, 105, 107}) EXPECT_TRUE(folder.exists(QString("%1.html").arg(topic))) << topic;
  QRegularExpression link("href=\"([^\"#:]+)\"");
  for (const QString& page : folder.entryList({"*.html"})) {
    QFile file(folder.filePath(page));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (auto it = link.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();) {
      QString target = it.next().captured(1);
      EXPECT_TRUE(folder.exists(target)) << page.toStdString() << " links to missing " << target.toStdString();
    }
  }
}

TEST(LHTMLObject, LifecycleAndTheAddressLimit) {
  testsupport::TempFolder temp;
  std::string page = temp.File("llpreview.htm");
  testsupport::WriteFileText(page, "<html><body><p>Bonjour</p></body></html>");
  QWidget host;
  host.resize(300, 200);
  {
    LHTMLObject view;
    view.Nagivate(page);  // before Create: nothing to show it in
    view.Create(&host);
    ASSERT_NE(view.Browser(), nullptr);
    EXPECT_EQ(view.Browser()->geometry(), host.contentsRect());
    view.Nagivate(page);
    EXPECT_TRUE(view.Browser()->toPlainText().contains("Bonjour"));

    host.resize(500, 420);
    view.EvSize();
    EXPECT_EQ(view.Browser()->geometry(), host.contentsRect());

    view.Nagivate("/" + std::string(300, 'a') + ".htm");
    EXPECT_EQ(view.Address().size(), LHTMLObject::kMaxAddress);

    // The page was rewritten under the same name: the view shows the new text.
    view.Nagivate(page);
    testsupport::WriteFileText(page, "<html><body><p>Salut</p></body></html>");
    view.Nagivate(page);
    EXPECT_TRUE(view.Browser()->toPlainText().contains("Salut"));

    view.Destroy();
    EXPECT_EQ(view.Browser(), nullptr);
    view.Nagivate(page);
    view.EvSize();
  }
  EXPECT_TRUE(host.findChildren<QTextBrowser*>().isEmpty());
}

struct Holder : LDialog {
  std::vector<std::pair<int, int>> commands;
  void EvCommand(int id, int code) override { commands.emplace_back(id, code); }
};
bool BuildHolder(QDialog* window) {
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(LSetControlId(new QPushButton("Fast", window), 130));
  auto* list = new QTreeWidget(window);
  for (int i = 0; i < 3; ++i) new QTreeWidgetItem(list, {QString::number(i)});
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  layout->addWidget(LSetControlId(list, 140));
  return true;
}
const LDialogTemplate kHolder{"holder", BuildHolder};

// Toolbar buttons from a table send their commands, a disabled one nothing;
// a push-and-hold button sends press, release and the click that follows;
// list selection and text limits.
TEST(Controls, ToolbarPushAndHoldListSelectionAndTextLimits) {
  Holder holder;
  const LToolBarButton table[] = {
      {1001, -21, "New Lesson", "Create a New Lesson (Ctrl+L)", TBSTYLE_BUTTON},
      {0, 0, nullptr, nullptr, TBSTYLE_SEP},
      {2011, -4, "Play", "Play the audio", TBSTYLE_CHECK},
      {1005, 3, "Standard", nullptr, TBSTYLE_BUTTON},
  };
  LToolBar bar;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(bar.SetToolBar(holder.Window(), table, 4, IDB_STD_LARGE_COLOR, 80));
    EXPECT_FALSE(bar.SetToolBar(holder.Window(), table, 4, IDB_STD_LARGE_COLOR, 80));
    EXPECT_EQ(holder.Control(80), bar.Handle());
    EXPECT_TRUE(bar.Button(2011) && bar.Button(2011)->isCheckable());
    qobject_cast<QToolButton*>(bar.Handle()->widgetForAction(bar.Button(1001)))->click();
    bar.EnableButton(1005, false);
    EXPECT_FALSE(bar.IsButtonEnabled(1005));
    bar.Button(1005)->trigger();  // disabled: nothing
    ASSERT_TRUE(SetUpDownButton(holder, 130));
    EXPECT_FALSE(SetUpDownButton(holder, 999));
    auto* button = holder.ControlAs<QPushButton>(130);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    auto* list = holder.ControlAs<QTreeWidget>(140);
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    LVSelect(holder, 140, 2);
    EXPECT_EQ(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(2)});
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
    LSetControlText(holder, 130, std::string(300, 'x'));
    EXPECT_EQ(LGetControlText(holder, 130).size(), 259u);
    LEnableControl(holder, 130, false);
    EXPECT_FALSE(button->isEnabled());
    holder.SendCommand(IDCANCEL);
  });
  holder.DoModal(kHolder, nullptr);
  EXPECT_EQ(holder.commands,
            (std::vector<std::pair<int, int>>{{1001, 0}, {130, BN_PUSHED_DOWN}, {130, BN_PUSHED_UP}, {130, 0}}));
}

TEST(LHMoveBar, GripZoneDragAndScaling) {
  QWidget window;
  window.resize(640, 400);
  LHMoveBar bar;
  bar.SetY(200);
  EXPECT_FALSE(bar.EvLButtonDown(&window, 196));
  EXPECT_FALSE(bar.EvLButtonDown(&window, 204));
  EXPECT_FALSE(bar.EvMouseMove(&window, 150));
  EXPECT_TRUE(bar.EvMouseMove(&window, 202));
  EXPECT_EQ(window.cursor().shape(), Qt::SplitVCursor);
  EXPECT_FALSE(bar.EvMouseMove(&window, 100));

  EXPECT_TRUE(bar.EvLButtonDown(&window, 197));
  EXPECT_TRUE(bar.Dragging());
  ASSERT_NE(bar.Band(), nullptr);
  EXPECT_EQ(bar.Band()->geometry(), QRect(0, 195, 640, 4));
  EXPECT_TRUE(bar.EvMouseMove(&window, 120));  // while dragging any y counts
  EXPECT_EQ(bar.Band()->geometry().y(), 118);
  EXPECT_TRUE(bar.EvLButtonUp(&window, 125));
  EXPECT_FALSE(bar.Dragging());
  EXPECT_EQ(bar.GetY(), 125);
  EXPECT_TRUE(bar.Band()->isHidden());
  EXPECT_FALSE(bar.EvLButtonUp(&window, 125));

  LHMoveBar scaled;
  scaled.SetY(200);
  scaled.EvSize(&window);
  window.resize(640, 600);
  scaled.EvSize(&window);
  EXPECT_EQ(scaled.GetY(), 300);
  window.resize(640, 599);
  scaled.EvSize(&window);
  EXPECT_EQ(scaled.GetY(), 300);  // 299.5 rounds to the nearest pixel
}

TEST(LSplashScreen, ShowsCentredAndAClickClosesIt) {
  LSplashScreen splash;
  splash.Display(nullptr);
  QPointer<QWidget> window = splash.Window();
  ASSERT_TRUE(window);
  EXPECT_EQ(window->x(), (LDesktopRect().width() - window->width()) / 2);
  splash.Display(nullptr);  // a second display replaces the first window
  QApplication::processEvents();
  EXPECT_FALSE(window);
  window = splash.Window();
  QTest::mouseClick(window, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_FALSE(window);
}

TEST(LAboutBox, PictureIgnoresClicksAndTheButtonOpensTheWebPage) {
  std::vector<std::string> opened;
  LSetWebPageHook([&](const std::string& address) { opened.push_back(address); });
  LAboutBox about;
  QTimer::singleShot(0, [&] {
    QWidget* picture = about.Control(LAboutBox::kPicture);
    ASSERT_NE(picture, nullptr);
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_TRUE(about.Window() && picture->isVisible());
    about.ControlAs<QPushButton>(LAboutBox::kWebButton)->click();
    about.ControlAs<QPushButton>(IDOK)->click();
  });
  EXPECT_EQ(about.Run(nullptr), IDOK);
  LSetWebPageHook(nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{std::string(kMakerWebSite) + "/orativo/index.html"});
}

}  // namespace
