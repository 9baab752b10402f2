// Where the end-to-end tests find what they drive: the viewer under test, the sample game folder
// it opens, and the folder that receives screenshots and the helper files of the X tools.
#pragma once

#include <string>

namespace qelva::e2e {

struct Environment {
  std::wstring viewer;     // full Windows path of QelvaView.exe
  std::wstring samples;    // the sample game folder: the viewer's current directory
  std::wstring artifacts;  // screenshots on failure, scratch files of the X tool runs
  std::wstring xdndDrop;   // the drag-and-drop source script (tools/xdnd_drop.py)
  std::wstring fuzzCorpus; // the load_picture fuzz corpus (may be missing or empty)
  int soakCycles = 1000;   // the soak's cycles: whole hundreds, at least 200
};

// Set once by main before the first test runs.
const Environment& TestEnvironment();
void SetTestEnvironment(Environment environment);

// A path inside the sample folder ("broken\\bg90.bin").
std::wstring SamplePath(const std::wstring& relative);

// Wine's mapping between its Windows paths and the Unix paths the X tools need.
std::string UnixPathOf(const std::wstring& windowsPath);
std::wstring WindowsPathOf(const std::string& unixPath);

}  // namespace qelva::e2e
