#include "framework/widgets/file_dialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace {

constexpr size_t kMaxPath = 259;

LFileDialogHook& Hook() {
  static LFileDialogHook hook;
  return hook;
}

// "*.jpg" -> "*.[jJ][pP][gG]": the dialog matches letter case exactly, and
// names may mix it ("Photo.Jpg").
QString AnyCase(const QString& pattern) {
  if (pattern.contains('[')) return pattern;
  QString out;
  for (QChar c : pattern) {
    QChar lower = c.toLower(), upper = c.toUpper();
    if (lower == upper)
      out += c;
    else
      out += QStringLiteral("[%1%2]").arg(lower, upper);
  }
  return out;
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

void LSetFileDialogHook(LFileDialogHook hook) { Hook() = std::move(hook); }

std::vector<std::string> LFileDialogNameFilters(const LFileFilter& filter) {
  std::vector<std::string> lines;
  for (const auto& [description, pattern] : filter) {
    QStringList words;
    for (const QString& word : QString::fromStdString(pattern).split(QRegularExpression("[;, ]+"), Qt::SkipEmptyParts))
      if (QString spelling = AnyCase(word); !words.contains(spelling)) words << spelling;
    lines.push_back(QStringLiteral("%1 (%2)")
                        .arg(QString::fromStdString(description).section('(', 0, 0).trimmed(), words.join(' '))
                        .toStdString());
  }
  return lines;
}

bool LBrowseForFolder(QWidget* owner, std::string& path, const std::string& title) {
  std::string chosen;
  if (Hook()) {
    chosen = Hook()(title, path);
  } else {
    chosen = QFileDialog::getExistingDirectory(owner, QString::fromStdString(title), QString::fromStdString(path))
                 .toStdString();
  }
  if (chosen.empty() || chosen.size() > kMaxPath) return false;
  path = chosen;
  return true;
}

bool LOpenFileDialog(QWidget* owner, std::string& file, const std::string& title, std::string& folder,
                     const LFileFilter& filter, const std::string& defaultExtension) {
  if (!file.empty()) folder = FolderOf(file);
  std::string chosen;
  if (Hook()) {
    chosen = Hook()(title, folder);
  } else {
    QStringList filters;
    for (const std::string& line : LFileDialogNameFilters(filter)) filters << QString::fromStdString(line);
    QFileDialog dialog(owner, QString::fromStdString(title), QString::fromStdString(folder));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      chosen = dialog.selectedFiles().first().toStdString();
  }
  if (chosen.empty() || chosen.size() > kMaxPath) return false;
  file = chosen;
  folder = FolderOf(chosen);
  return true;
}
