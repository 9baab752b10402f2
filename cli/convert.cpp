#include "cli/convert.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "cli/console_progress.h"
#include "cli/hand_out.h"
#include "cli/messages.h"
#include "cli/worker_thread.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/folders.h"
#include "common/os_error.h"
#include "common/utf8_path.h"
#include "decode/archive.h"
#include "decode/archive_titles.h"
#include "decode/format.h"
#include "export/lzw.h"
#include "export/picture_file.h"

namespace qelva::cli {
namespace fs = std::filesystem;
namespace {


std::string MessageOf(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return OutOfMemoryError().what();
  return e.what();
}

// Two outputs of one run must not land on the same file (Windows names ignore case).
std::string CollisionKey(const std::string& target) {
  std::string key = Utf8FromPath(PathFromUtf8(target).lexically_normal());
#ifdef _WIN32
  key = LowerCaseName(key);
#endif
  return key;
}

// The converter's answers to the decoder's questions: no cursor, the message kept to be
// reported as the input's failure, and the archive entry chosen on the command line.
class ConverterHost final : public PictureHost {
 public:
  void ShowMessage(std::string_view text) override { message = std::string(text); }
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const ArchiveId&, const std::string&, int32_t& entryIndex) override {
    entryIndex = wantedEntry;
    return true;
  }

  std::string message;
  int32_t wantedEntry = 0;
};

struct Input {
  std::string path;
  bool fromFolder;        // found in a folder: passed over quietly when it is no picture
  std::string outFolder;  // with -r, the file's folder below the given one (UTF-8, "" for none)
  uint64_t size = 0;      // the file's size when it was found: how much work it is, roughly
};

// One picture to convert: a picture file, one entry of an archive, or a named file whose name
// already says that it is none.
struct Unit {
  enum class Kind { kPicture, kEntry, kNotAPicture };
  Kind kind;
  size_t input;                      // index into the inputs
  std::optional<ArchiveId> archive;  // kEntry
  int32_t entry = 0;                 // kEntry
  std::string target;                // the output file; empty with --list
  uint64_t cost = 0;                 // the game file's bytes it reads: a guess at its work
};

// What converting one unit gave, kept until every unit before it has been reported.
struct UnitResult {
  struct Line {
    bool toErr;
    std::string text;
  };
  std::vector<Line> lines;
  bool failed = false;
  bool wrote = false;
};

// Output folders below --out, made the first time a picture is written into them. Every
// picture of a folder that cannot be made fails with the same message.
class OutputFolders {
 public:
  bool Make(const std::string& folder) {
    std::lock_guard lock(mutex_);
    auto [it, fresh] = made_.try_emplace(folder, false);
    if (fresh) it->second = MakeFolders(folder);
    return it->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, bool> made_;
};

// Converts units one after the other on one thread. claimed_ holds the output files written
// (or attempted) so far by this converter; the schedule gives every unit that could write a
// file to the same converter as all earlier units of that file, so the first of them in input
// order keeps it, as when everything runs on one thread.
class UnitConverter {
 public:
  // manyGifs: the run writes GIF files of more than one picture, so that the GIF encoder's
  // tables are best made whole before the first (see PrepareLzwForManyPictures).
  UnitConverter(const Options& options, const std::vector<Input>& inputs, OutputFolders& folders,
                bool manyGifs)
      : options_(options), inputs_(inputs), folders_(folders), prepareGif_(manyGifs) {}

  UnitResult Convert(const Unit& unit) {
    UnitResult result;
    result_ = &result;
    try {
      switch (unit.kind) {
        case Unit::Kind::kPicture:
          ConvertPicture(unit);
          break;
        case Unit::Kind::kEntry:
          ConvertEntry(unit);
          break;
        case Unit::Kind::kNotAPicture:
          Fail(inputs_[unit.input].path, kMsgNotAPicture);
          break;
      }
    } catch (const std::exception& e) {  // building a message ran out of memory
      Fail(inputs_[unit.input].path, MessageOf(e));
    }
    result_ = nullptr;
    return result;
  }

 private:
  void Fail(std::string_view what, std::string_view message) {
    result_->lines.push_back({true, std::string(what) + ": " + std::string(message)});
    result_->failed = true;
  }

  void ConvertPicture(const Unit& unit) {
    const Input& input = inputs_[unit.input];
    std::string path = input.path;
    int32_t entryIndex = 0;
    DibImage image;
    host_.message.clear();
    try {
      if (!LoadGamePicture(host_, path, entryIndex, image)) {
        if (!input.fromFolder) {
          Fail(input.path, host_.message.empty() ? kMsgNotAPicture : host_.message);
        }
        return;
      }
      Emit(unit, path, image, std::nullopt);
    } catch (const std::exception& e) {
      Fail(input.path, MessageOf(e));
    }
  }

  void ConvertEntry(const Unit& unit) {
    const Input& input = inputs_[unit.input];
    std::string path = input.path;
    int32_t entryIndex = unit.entry;
    host_.wantedEntry = entryIndex;
    DibImage image;
    try {
      LoadGamePicture(host_, path, entryIndex, image);
      Emit(unit, path, image, TitleOf(*unit.archive, host_.wantedEntry));
    } catch (const std::exception& e) {
      Fail(input.path + "[" + std::to_string(unit.entry) + "]", MessageOf(e));
    }
  }

  // Writes (or lists) one decoded picture.
  void Emit(const Unit& unit, const std::string& path, DibImage& image,
            std::optional<std::string_view> title) {
    if (options_.list) {
      std::string line = path + "\t" + std::to_string(image.Width()) + "x" +
                         std::to_string(image.Height()) + "x" + std::to_string(image.BitCount());
      if (title) line.append("\t").append(*title);
      result_->lines.push_back({false, std::move(line)});
      return;
    }
    if (!claimed_.insert(CollisionKey(unit.target)).second) {
      Fail(path, FillMessage(kMsgAlreadyWritten, unit.target));
      return;
    }
    const std::string& outFolder = inputs_[unit.input].outFolder;
    if (!outFolder.empty()) {
      const std::string folder = Utf8FromPath(PathFromUtf8(unit.target).parent_path());
      if (!folders_.Make(folder)) {
        Fail(path, FillMessage(kMsgCannotCreateFolder, folder));
        return;
      }
    }
    if (prepareGif_) {
      prepareGif_ = false;
      try {
        PrepareLzwForManyPictures();
      } catch (const std::bad_alloc&) {
        // Then the encoder takes its tables page by page, or reports the want of memory.
      }
    }
    if (!WritePictureFile(unit.target, options_.type, image)) {
      throw PictureError(std::string(kMsgFullColourGif));
    }
    result_->wrote = true;
  }

  static std::optional<std::string_view> TitleOf(const ArchiveId& archive, int entry) {
    const auto titles = TitleList(archive);
    if (entry < 0 || static_cast<size_t>(entry) >= titles.size()) return std::nullopt;
    return titles[static_cast<size_t>(entry)];
  }

  const Options& options_;
  const std::vector<Input>& inputs_;
  OutputFolders& folders_;
  ConverterHost host_;
  std::set<std::string> claimed_;
  UnitResult* result_ = nullptr;
  bool prepareGif_;
};

class Converter {
 public:
  Converter(const Options& options, Console& console, Clock& clock)
      : options_(options), console_(console), clock_(clock) {}
  ~Converter() { EndJobs(); }

  int Run() {
    if (!options_.list && !PrepareOutFolder()) return 1;
    StartEarlyJob();
    ExpandInputs();
    PlanUnits();
    tasks_ = Schedule();
    ProgressLine progress(console_, clock_, units_.size(),
                          console_.ErrIsTerminal() && !options_.quiet);
    RunTasks(progress);
    EndJobs();
    progress.Finish();
    if (!options_.list && console_.ErrIsTerminal() && !options_.quiet) {
      console_.Err(std::to_string(written_) + " file(s) written to " +
                   (options_.outDir.empty() ? std::string(".") : options_.outDir) +
                   (failed_ ? ", some inputs failed" : ""));
    }
    return failed_ ? 1 : 0;
  }

 private:
  void Fail(std::string_view what, std::string_view message) {
    console_.Err(std::string(what) + ": " + std::string(message));
    failed_ = true;
  }

  bool PrepareOutFolder() {
    if (options_.outDir.empty()) return true;
    if (!MakeFolders(options_.outDir)) {
      Fail(options_.outDir, FillMessage(kMsgCannotCreateFolder, options_.outDir));
      return false;
    }
    return true;
  }

  // Folders become their regular files in name order (with -r, then their subfolders in name
  // order, each with everything below it); everything else is taken as given. A folder that
  // cannot be read is reported here, before any picture is converted.
  void ExpandInputs() {
    for (const std::string& given : options_.paths) {
      const std::string path = WithNativeSeparators(given);
      if (!IsFolder(path)) {
        inputs_.push_back({path, false, {}, FileSizeOf(path)});
        continue;
      }
      std::vector<std::string> walked = {path};
      AddFolder(path, {}, walked);
    }
  }

  // `walked` holds the folder and the folders above it in this walk. A subfolder that is one of
  // them (a symbolic link back up) is passed over: following it would never end. A link that
  // leads nowhere or into a loop of links is no folder and no file, and is passed over too.
  void AddFolder(const std::string& folder, const fs::path& outFolder,
                 std::vector<std::string>& walked) {
    std::vector<FolderEntry> entries;
    int ioCode = 0;
    if (!ListFolder(folder, entries, ioCode)) {
      Fail(folder, IoError::MessageFor(ioCode));
      return;
    }
    std::vector<std::pair<std::string, uint64_t>> files;           // path, size
    std::vector<std::pair<std::string, std::string>> subfolders;  // path, name
    for (FolderEntry& entry : entries) {
      if (entry.isFile) {
        files.emplace_back(std::move(entry.path), entry.size);
      } else if (options_.recursive && entry.isFolder) {
        subfolders.emplace_back(std::move(entry.path), std::move(entry.name));
      }
    }
    std::sort(files.begin(), files.end());
    const std::string out = Utf8FromPath(outFolder);
    for (auto& [file, size] : files) inputs_.push_back({std::move(file), true, out, size});

    std::sort(subfolders.begin(), subfolders.end());
    for (const auto& [sub, name] : subfolders) {
      const std::string& path = sub;  // clang 14 lets no lambda name a structured binding
      const bool above = std::any_of(walked.begin(), walked.end(),
                                     [&](const std::string& p) { return SameFolder(path, p); });
      if (above) continue;
      walked.push_back(sub);
      AddFolder(sub, outFolder / PathFromUtf8(name), walked);
      walked.pop_back();
    }
  }

  void PlanUnits() {
    const std::string extension(FileExtensionOf(options_.type));
    const PathSyntax syntax = ConverterHost().Paths();
    for (size_t i = 0; i < inputs_.size(); ++i) {
      const Input& input = inputs_[i];
      const GameName name = DeriveGameName(input.path, syntax);
      if (input.fromFolder && !PassesNameGate(name)) continue;
      const std::string baseName = NameWithoutExtension(name.fileName, syntax);
      if (!PassesNameGate(name) || !IsArchiveName(name)) {
        units_.push_back({Unit::Kind::kPicture, i, std::nullopt, 0,
                          OutputPath(input.outFolder, baseName + extension), input.size});
        continue;
      }
      const auto archive = IdentifyArchive(name.lowerName);
      if (!archive) {
        if (!input.fromFolder) units_.push_back({Unit::Kind::kNotAPicture, i, {}, 0, {}});
        continue;
      }
      // The entries to convert as a half-open range in 64 bits: -e may name the largest 32-bit
      // number, and the step past it must end the loop rather than wrap around.
      int64_t first = 0, end = ArchiveEntryCount(*archive);
      if (options_.entry) {
        // A folder's archives that lack the entry are passed over; a named archive must have it.
        if (input.fromFolder && *options_.entry >= end) continue;
        first = *options_.entry;
        end = first + 1;
      }
      // The entries of an archive are taken to share its bytes evenly.
      const uint64_t entryCost = input.size / static_cast<uint64_t>(std::max<int64_t>(
                                                  ArchiveEntryCount(*archive), 1));
      for (int64_t entry = first; entry < end; ++entry) {
        units_.push_back(
            {Unit::Kind::kEntry, i, archive, static_cast<int32_t>(entry),
             OutputPath(input.outFolder, baseName + "-" + std::to_string(entry) + extension),
             entryCost});
      }
    }
    if (options_.list) {
      for (Unit& unit : units_) unit.target.clear();
    }
  }

  // The tasks, each a list of units converted one after the other by one converter, in the
  // order of their first unit. A unit has a task of its own unless its output file is also
  // another unit's: then all units of that file share the task of the first.
  std::vector<std::vector<size_t>> Schedule() const {
    std::vector<std::vector<size_t>> tasks;
    std::map<std::string, size_t> taskOfTarget;
    for (size_t u = 0; u < units_.size(); ++u) {
      if (units_[u].target.empty()) {
        tasks.push_back({u});
        continue;
      }
      const auto [it, fresh] =
          taskOfTarget.try_emplace(CollisionKey(units_[u].target), tasks.size());
      if (fresh) {
        tasks.push_back({u});
      } else {
        tasks[it->second].push_back(u);
      }
    }
    return tasks;
  }

  // How the tasks are handed out when several run at once: by the folder they write to, the
  // most work first (see HandOut).
  std::unique_ptr<HandOut> MakeHandOut() const {
    std::vector<uint64_t> cost(tasks_.size(), 0);
    std::vector<size_t> folderOf(tasks_.size(), 0);
    std::map<std::string_view, size_t> folderNumbers;
    for (size_t t = 0; t < tasks_.size(); ++t) {
      for (size_t u : tasks_[t]) cost[t] += units_[u].cost;
      // A task's units share one output file, and so one folder.
      const std::string& folder = inputs_[units_[tasks_[t].front()].input].outFolder;
      folderOf[t] = folderNumbers.try_emplace(folder, folderNumbers.size()).first->second;
    }
    return std::make_unique<HandOut>(cost, folderOf);
  }

  // Runs the tasks on up to options_.jobs threads, never more than there are tasks, and reports
  // every unit's lines in unit order, as soon as the units before it are reported. This thread
  // is one of them: it converts too, and reports between its tasks; with one job or one task
  // no other thread converts (one started early ends). Each thread keeps one converter, and
  // with it the buffers and tables its pictures need, from its first task to its last.
  void RunTasks(ProgressLine& progress) {
    const std::vector<std::vector<size_t>>& tasks = tasks_;
    size_t reported = 0;
    const size_t jobs = std::min(static_cast<size_t>(std::max(options_.jobs, 1)), tasks.size());
    const bool manyGifs = !options_.list && GifArgumentsOf(options_.type) && units_.size() > 1;
    if (jobs <= 1) {
      Publish(false, manyGifs);  // a job started early has nothing to do
      std::vector<std::optional<UnitResult>> results(units_.size());
      const LzwThreadTables tables;
      UnitConverter converter(options_, inputs_, folders_, manyGifs);
      size_t done = 0;
      for (const std::vector<size_t>& task : tasks) {
        for (size_t u : task) {
          results[u] = converter.Convert(units_[u]);
          ++done;
        }
        while (reported < units_.size() && results[reported]) {
          Report(*results[reported], progress);
          results[reported++].reset();
        }
        progress.Update(done);
      }
      return;
    }

    Publish(true, manyGifs);
    for (size_t j = 1 + jobs_.size(); j < jobs; ++j) {
      try {
        jobs_.push_back(std::make_unique<WorkerThread>([this] { Job(false); }));
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the ones running share the work
      }
    }

    std::vector<UnitResult> ready;
    // Takes the results that are next in unit order, with the lock held, and reports them
    // without it.
    auto reportReady = [&](std::unique_lock<std::mutex>& lock) {
      for (size_t u = reported; u < units_.size() && shared_.results[u]; ++u) {
        ready.push_back(std::move(*shared_.results[u]));
        shared_.results[u].reset();
      }
      const size_t done = shared_.completed;
      lock.unlock();
      for (const UnitResult& result : ready) Report(result, progress);
      reported += ready.size();
      ready.clear();
      progress.Update(done);
      lock.lock();
    };
    std::unique_lock lock(shared_.mutex, std::defer_lock);
    {
      const LzwThreadTables tables;
      UnitConverter converter(options_, inputs_, folders_, manyGifs);
      size_t folder = HandOut::kNone;
      while (ConvertTask(converter, folder)) {
        lock.lock();
        reportReady(lock);
        lock.unlock();
      }
    }
    lock.lock();
    while (reported < units_.size()) {
      shared_.changed.wait_for(lock, ProgressLine::kRedrawInterval,
                               [&] { return shared_.completed == units_.size(); });
      reportReady(lock);
    }
  }

  // What the threads of several jobs share besides the units and tasks: whether the work is
  // planned, how the tasks are handed out, and the results not yet reported.
  struct SharedWork {
    std::mutex mutex;                  // guards what follows, but what handOut guards itself
    std::condition_variable changed;  // the work is planned; every unit is converted
    bool planned = false;              // once true, the units, tasks and order stay as they are
    bool shared = false;               // the further jobs take part in the work
    std::unique_ptr<HandOut> handOut;
    bool manyGifs = false;
    std::vector<std::optional<UnitResult>> results;  // by unit
    size_t completed = 0;
  };

  // With several jobs and more than one input or a folder to convert, the second job's thread
  // starts before the inputs are listed: by the time the work is planned it runs, on a core of
  // its own, and with GIF output it has made its encoder's tables, which it would otherwise do
  // after the plan (measured on two cores: a game folder to GIF in 0.14-0.18 ms less of about
  // 9 ms). The other jobs start once the work is planned, no more than there are tasks.
  void StartEarlyJob() {
    if (options_.jobs < 2 || options_.paths.empty()) return;
    if (options_.paths.size() == 1 && !IsFolder(WithNativeSeparators(options_.paths[0]))) return;
    try {
      jobs_.push_back(std::make_unique<WorkerThread>([this] { Job(true); }));
    } catch (const std::system_error&) {
      // Then the jobs start once the work is planned, as many as the system gives.
    }
  }

  // One further job: takes tasks until none is left. One started early waits for the plan;
  // it makes its GIF encoder's tables while it waits, since the run will likely write many.
  void Job(bool early) {
    const LzwThreadTables tables;
    bool prepared = false;
    if (early && !options_.list && GifArgumentsOf(options_.type)) {
      try {
        PrepareLzwForManyPictures();
        prepared = true;
      } catch (const std::bad_alloc&) {
        // Then the encoder takes its tables page by page, or reports the want of memory.
      }
    }
    bool manyGifs;
    {
      std::unique_lock lock(shared_.mutex);
      shared_.changed.wait(lock, [&] { return shared_.planned; });
      if (!shared_.shared) return;
      manyGifs = shared_.manyGifs && !prepared;
    }
    UnitConverter converter(options_, inputs_, folders_, manyGifs);
    size_t folder = HandOut::kNone;
    while (ConvertTask(converter, folder)) {
    }
  }

  // Converts the next task not yet taken by any thread; false when none is left. `folder` is
  // this thread's place in the hand-out (see HandOut::Next).
  bool ConvertTask(UnitConverter& converter, size_t& folder) {
    const size_t t = shared_.handOut->Next(folder);
    if (t == HandOut::kNone) return false;
    for (size_t u : tasks_[t]) {
      UnitResult result = converter.Convert(units_[u]);
      std::lock_guard lock(shared_.mutex);
      shared_.results[u] = std::move(result);
      // A picture takes a fraction of a millisecond: waking the reporter for each one
      // would cost more than reporting in batches, at every redraw and at the end.
      if (++shared_.completed == units_.size()) shared_.changed.notify_one();
    }
    return true;
  }

  // Lets a job waiting for the plan go on: to share the tasks, or to end. The units and tasks
  // are made before, and stay as they are after.
  void Publish(bool share, bool manyGifs) {
    {
      std::lock_guard lock(shared_.mutex);
      if (shared_.planned) return;
      if (share) {
        shared_.handOut = MakeHandOut();
        shared_.results.resize(units_.size());
        shared_.manyGifs = manyGifs;
      }
      shared_.shared = share;
      shared_.planned = true;
    }
    shared_.changed.notify_all();
  }

  // Waits for the further jobs to end; one still waiting for the plan is told there is no work.
  void EndJobs() {
    Publish(false, false);
    jobs_.clear();
  }

  void Report(const UnitResult& result, ProgressLine& progress) {
    for (const UnitResult::Line& line : result.lines) {
      if (line.toErr) {
        progress.Err(line.text);
      } else {
        progress.Out(line.text);
      }
    }
    failed_ = failed_ || result.failed;
    if (result.wrote) ++written_;
  }

  std::string OutputPath(const std::string& outFolder, const std::string& fileName) const {
    fs::path path = PathFromUtf8(options_.outDir);
    if (!outFolder.empty()) path /= PathFromUtf8(outFolder);
    return Utf8FromPath(path / PathFromUtf8(fileName));
  }

  const Options& options_;
  Console& console_;
  Clock& clock_;
  std::vector<Input> inputs_;
  std::vector<Unit> units_;
  OutputFolders folders_;
  size_t written_ = 0;
  bool failed_ = false;
  std::vector<std::vector<size_t>> tasks_;  // see Schedule
  SharedWork shared_;
  std::vector<std::unique_ptr<WorkerThread>> jobs_;  // the further jobs' threads
};

}  // namespace

int RunConversion(const Options& options, Console& console, Clock& clock) {
  return Converter(options, console, clock).Run();
}

int RunConversion(const Options& options, Console& console) {
  return RunConversion(options, console, SteadyClock());
}

int RunConverter(std::span<const std::string> args, Console& console) {
  return RunConverter(args, console, SteadyClock());
}

int RunConverter(std::span<const std::string> args, Console& console, Clock& clock) {
  Options options;
  try {
    options = ParseOptions(args);
    if (options.entry && *options.entry < 0) {
      throw UsageError("the entry must be 0 or more");
    }
  } catch (const UsageError& e) {
    console.Err(std::string("qelvaconv: ") + e.what());
    console.Err("Try 'qelvaconv --help' for more information.");
    return 2;
  }
  if (options.help) {
    std::string_view usage = UsageText();
    if (!usage.empty() && usage.back() == '\n') usage.remove_suffix(1);
    console.Out(usage);
    return 0;
  }
  if (options.version) {
    console.Out("qelvaconv " QELVA_VERSION);
    return 0;
  }
  return RunConversion(options, console, clock);
}

}  // namespace qelva::cli
