#pragma once
// One running copy per user. The first copy listens on a local socket in the
// user's private folder; a later normal run asks it to bring its window to
// the front and ends. The window that answers is the one whose title, cut
// before " [", is exactly "Orativo": the tutor window or the student's study
// window, never the tutor's "Preview Lesson" window. A later copy started
// with a lesson hands the lesson over first.
#include <QLocalServer>
#include <QPointer>
#include <functional>
#include <string>
class QWidget;

class LRunningCopy {
 public:
  LRunningCopy() = default;
  ~LRunningCopy();
  LRunningCopy(const LRunningCopy&) = delete;
  LRunningCopy& operator=(const LRunningCopy&) = delete;

  static std::string SocketPath();
  // The first copy: listen for later ones. False when another copy listens.
  bool Listen();
  // A later copy: ask the running one to show its window, after opening
  // lessonPath when one is given. Reply texts: "maximized", "restored",
  // "none"; "" when no copy answers.
  static std::string AskToShow(int timeoutMs = 5000, const std::string& lessonPath = "");
  // What the first copy does with a lesson handed over (null: nothing).
  void SetLessonHandler(std::function<void(const std::string&)> handler) { lessonHandler_ = std::move(handler); }
  // The window a running copy shows (the title rule above), or null.
  static QWidget* FindCopyWindow();
  // Shows window maximised when it is, else restored, and brings it up front.
  static std::string ShowCopyWindow(QWidget* window);

 private:
  QPointer<QLocalServer> server_;
  std::function<void(const std::string&)> lessonHandler_;
};
