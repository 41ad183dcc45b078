#pragma once
// The embedded page view: a text browser laid over a host control, filling
// its client area. Create, Nagivate (the program's historical spelling),
// EvSize, Destroy.
#include <QPointer>
#include <QTextBrowser>
#include <string>
class QWidget;

class LHTMLObject {
 public:
  static constexpr size_t kMaxAddress = 259;
  LHTMLObject() = default;
  ~LHTMLObject();
  LHTMLObject(const LHTMLObject&) = delete;
  LHTMLObject& operator=(const LHTMLObject&) = delete;

  // Embeds the view in window (again in the given window when called twice).
  void Create(QWidget* window);
  void Nagivate(const std::string& address);
  void EvSize();
  // Lets go of the view; Nagivate and EvSize then do nothing visible.
  void Destroy();

  QTextBrowser* Browser() const { return browser_; }
  const std::string& Address() const { return address_; }

 private:
  bool created_ = false;
  QPointer<QWidget> host_;
  QPointer<QTextBrowser> browser_;
  std::string address_;
};
