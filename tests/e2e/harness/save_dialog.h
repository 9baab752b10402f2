// The viewer's Save command from outside: its common save dialog (the file-name field and the
// "ファイルの種類" combo box, driven with real keys and clicks), the warning boxes it answers
// with, the files it leaves, and the converter's files they are compared with.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "harness/clipboard.h"
#include "harness/windows.h"
#include "harness/x_input.h"

namespace qelva::e2e {

// The eight save types in the dialog's order (filter index 1-8) and the converter's names for
// them: the six bitmap and GIF types, then the two PNG types.
inline constexpr int kSaveTypeCount = 8;
inline constexpr int kGifTypes[] = {3, 4, 5, 6};
inline constexpr int kPngTypes[] = {7, 8};
inline const std::wstring kSaveTypeCaptions[kSaveTypeCount] = {
    L"Windows Bitmap(非圧縮)", L"Windows Bitmap(RLE圧縮)", L"GIF87a(Non-Interaced)",
    L"GIF87a(Interaced)",     L"透明化GIF(89a, Ni)",      L"透明化GIF(89a,i)",
    L"PNG",                   L"透明化PNG"};
inline constexpr const char* kConverterTypes[kSaveTypeCount] = {
    "bmp", "rle", "gif", "gif-i", "gif-t", "gif-ti", "png", "png-t"};

// The caption of the viewer's warning boxes.
inline const std::wstring kWarningTitle = L"警告";

struct SaveDialog {
  HWND dialog = nullptr;
  HWND name = nullptr;   // the file-name edit field
  HWND types = nullptr;  // the file-type combo box
};


// Finds the file-name field and the type combo box of a common file dialog; on failure the
// message lists the dialog's controls.
::testing::AssertionResult FindSaveDialogControls(HWND dialog, SaveDialog& found);

// The type combo box: its captions and the chosen one (1-based; 0 when none).
std::vector<std::wstring> TypeCaptions(const SaveDialog& dialog);
int ChosenType(const SaveDialog& dialog);

// Fills the dialog in as a user does, in one run of the X tool: a click drops the type list down,
// Home and Down keys move to the type (1-8) and Return takes it; a click into the file-name
// field, End, Shift+Home and Delete clear it and the name is typed. Checks that the dialog then
// shows both.
::testing::AssertionResult FillIn(const SaveDialog& dialog, int type, const std::wstring& name);

// Keys for whichever X window has the focus now (a dialog a click has just gone into), without
// moving the focus first.
XRun KeysToFocus(const std::vector<std::string>& keys);

// Buttons of a dialog box, in child order.
std::vector<HWND> ButtonsOf(HWND box);

// The bytes of a file; nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::wstring& path);
// The names in a folder (without "." and "..").
std::vector<std::wstring> FolderNames(const std::wstring& folder);

// The independent decoder (tests/peer/peer_decode.py, Python's PIL) reads the file as exactly
// these pixels, every one of them opaque.
::testing::AssertionResult PeerDecodesTo(const std::wstring& path, const ColourPicture& pixels);

// Where the tests save: a short path, as every name is typed into the dialog in full.
inline constexpr wchar_t kSavedFilesRoot[] = L"C:\\qsave";
// A new empty folder under it named `label`; whatever an earlier run left there is removed.
std::wstring FreshFolder(const std::wstring& label);

// The file qelvaconv.exe (beside the viewer under test) writes for a game file: `type` 1-8, the
// sample-relative path, for archives the entry. Runs it into a fresh folder and reads the one
// file it wrote; on failure, an empty result and the reason in `failure`.
std::vector<uint8_t> ConverterOutput(int type, const std::wstring& samplePath, int32_t entry,
                                     std::string& failure);

}  // namespace qelva::e2e
