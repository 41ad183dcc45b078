#pragma once
// The folder-browse and open-file dialogs. Paths stay within 259 characters.
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

// {description, pattern} rows, e.g. {"Wave Files (*.wav)", "*.wav"}.
using LFileFilter = std::vector<std::pair<std::string, std::string>>;

// The dialog's name filters, "Description (*.jpg *.JPG)": every pattern in
// lower and upper case too, since the desktop's own dialogs match letter case
// exactly and a camera's "PHOTO.JPG" would not be offered.
std::vector<std::string> LFileDialogNameFilters(const LFileFilter& filter);

bool LBrowseForFolder(QWidget* owner, std::string& path, const std::string& title);
// file (in/out) and folder (in/out): a non-empty file sets the starting folder;
// on OK folder becomes the chosen file's folder.
bool LOpenFileDialog(QWidget* owner, std::string& file, const std::string& title, std::string& folder,
                     const LFileFilter& filter, const std::string& defaultExtension);

// Tests answer the dialogs: the hook gets the title and starting folder and
// returns the chosen path ("" for Cancel).
using LFileDialogHook = std::function<std::string(const std::string& title, const std::string& startFolder)>;
void LSetFileDialogHook(LFileDialogHook hook);
