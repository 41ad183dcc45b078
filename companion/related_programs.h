#pragma once
// The "Related Programs" page offered after installation: the maker's other
// programs, each with a check box that is enabled only while the program is
// missing; Install downloads and installs the checked ones in order.
#include <functional>
#include <string>
#include <vector>

#include "framework/widgets/property_sheet.h"

struct LRelatedProgram {
  int checkId;
  int textId;
  const char* productKey;
  const char* valueName;
  const char* setupName;
  const char* description;
  const char* program;  // its own program on PATH, which also counts as installed
};
const std::vector<LRelatedProgram>& RelatedPrograms();

// Installs the checked rows in table order, stopping at the first one that
// does not install; returns the index of that row, or -1.
int InstallRelatedPrograms(const std::vector<bool>& checked, const std::function<int(const LRelatedProgram&)>& install);

// True when at least one related program is not installed.
bool AnyRelatedProgramMissing();
// The "Related Programs" sheet over owner, when a related program is missing.
void RunRelatedProgramsSheet(QWidget* owner);

class LRelatedProgramsPage : public LPropertyPage {
 public:
  static const LDialogTemplate& Template();
  LRelatedProgramsPage() { PreparePage(Template()); }
  void InitDialog() override;
  bool CmOk() override;
};
