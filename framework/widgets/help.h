#pragma once
// Help: HTML pages in the "help" folder beside the program, "index.html" for
// the contents and "<topic>.html" for each numbered topic, shown in one help
// window.
#include <string>

class QWidget;

std::string LHelpFolder();
void LSetHelpFolder(const std::string& folder);  // "" goes back to the default
void DisplayHelpContents();
void DisplayHelp(int topic);
// The help window and the file it shows ("" when none); for tests and tools.
QWidget* LHelpWindow();
std::string LHelpShownFile();
