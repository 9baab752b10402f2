// TArcForm: the archive chooser. It lists the titles of an archive's entries, lets the user
// choose one or more, and turns the choice into the entry this process decodes and one further
// process per further chosen entry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decode/archive.h"
#include "shell/win32/dialog_template.h"
#include "shell/win32/gdi.h"
#include "shell/win32/processes.h"

namespace qelva::win32 {

class TArcForm final : public DialogForm {
 public:
  static constexpr int kListId = 101;
  static constexpr int kSelectAllId = 102;

  TArcForm(HWND owner, InstanceStarter& starter) : owner_(owner), starter_(starter) {}

  // Shows the chooser for the archive at path. Returns false when cancelled (entryIndex is
  // left as it was, no process started); otherwise entryIndex is the lowest chosen entry and a
  // process has been started for every further one, in ascending order.
  bool ChooseArchiveEntries(const ArchiveId& archive, const std::string& path,
                            int32_t& entryIndex);

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void CreateControls();
  void FormShow();
  void BtnAllClick();
  void LBFilesDblClick();
  void EndShowing(INT_PTR modalResult);
  int SelectedCount() const;

  HWND owner_;
  InstanceStarter& starter_;
  HWND Button2 = nullptr, LBFiles = nullptr, BtnOk = nullptr, BtnAll = nullptr;
  GdiObject<HFONT> font_;
  bool SelectAllMode = true;
  // What the list holds, kept across the repeated showings of one choice.
  std::wstring caption_;
  std::vector<std::wstring> titles_;
  std::vector<bool> selected_;
};

}  // namespace qelva::win32
