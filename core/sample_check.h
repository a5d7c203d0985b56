// CSampleCheck: the whole-content step of a run: the watched object's content compared with the
// sample copy the task kept, and a new sample written when the content changed or none was kept
// yet. A large content is checked on a thread of the check's own, so that the engine thread
// keeps its pace and a stop is felt within one block; what the check finds (log lines, errors,
// changes) is recorded and handed to the task on the engine thread, in the order it happened.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/date_time.h"
#include "transfer/local_file.h"

namespace tellweir {

class CMonitorTask;
struct KeptVersion;
struct VersionJob;

// The file a run compares (a local file, or the copy a download left), opened for reading
// without waiting on anything that is not a regular file, with its length and file times as
// they were when it was opened (taken from the open file itself: one open and one statx).
struct WatchedObject {
    explicit WatchedObject(std::string objectPath);

    std::string path;
    CLocalFile file;
    bool opened = false;
    bool timesKnown = false;
    std::int64_t length = -1;
    DateTime lastWrite;
    DateTime lastAccess;
    std::optional<DateTime> creation;  // when the file system reports a birth time
};

// The folder part of a kept file's path, empty when the path names no folder: a bare file name
// lives in the current folder, and making its "folder" would create a directory in its place.
std::string_view FolderOf(std::string_view path);
// Creates the folder of `path` when it names one; false when that fails.
bool MakeFolderOf(std::string_view path);

// What the content comparison found.
struct ContentChanges {
    bool size = false;
    bool content = false;
};

class CSampleCheck {
  public:
    // Contents longer than this are checked on a thread of the check's own; shorter ones take a
    // few milliseconds and are checked at once.
    static constexpr std::int64_t kThreadThreshold = std::int64_t{1} << 20;

    // Opens the object at `objectPath` now.
    CSampleCheck(std::string objectPath, std::string samplePath);
    // Takes an object already opened.
    CSampleCheck(std::unique_ptr<WatchedObject> object, std::string samplePath);
    CSampleCheck(const CSampleCheck&) = delete;
    CSampleCheck& operator=(const CSampleCheck&) = delete;
    ~CSampleCheck();  // Cancel

    WatchedObject& Object() { return *object_; }

    // Keeps a version of the content when the check creates the first sample ("First Time") or
    // finds a change ("Content Changed"), on the check's thread when it has one. Before Begin.
    void KeepVersions(std::unique_ptr<VersionJob> job);
    // What keeping a version found; null when the check kept none and was not asked to.
    // Only for a check that has finished (Done).
    const KeptVersion* Version() const { return version_.get(); }

    // Starts the check: at once for a short content, else on a thread of its own (or here when
    // no thread can be made). An object that did not open is not checked. True when the check
    // has already finished.
    bool Begin();
    // Checks nothing: the run compares file information only and keeps the opened object for
    // that comparison. Done from here on; Report finds nothing.
    void KeepObjectOnly() { done_.store(true, std::memory_order_release); }
    // Runs the check on the calling thread.
    void Run();
    // True once the check has finished, or when it never began.
    bool Done() const { return done_.load(std::memory_order_acquire); }
    // Stops a check under way and waits for its thread: no sample is written after it returns,
    // and a sample being written is abandoned, so the kept one stays as it was.
    void Cancel();

    // Writes the recorded lines into the task's log and raises the recorded errors, in order,
    // and returns the changes found. Only for a check that has finished (Done).
    ContentChanges Report(CMonitorTask& task);

  private:
    struct Note {
        int level;
        std::string text;
        bool error;  // the line is followed by the event "Error"
    };

    // A status line for the log; an error line that raises "Error".
    void Record(std::string text);
    void Fail(std::string text);

    void CreateSample();
    void UpdateSample();
    // Writes the object's content as the new sample, through a temporary file renamed over the
    // old one; 3 when stopped.
    [[nodiscard]] TransferResult WriteSample();
    // Gives the open file the object's access and last write times.
    void CopyTimesTo(int fd) const;
    // Reads the object's content and keeps it as a version with `event`, when asked to.
    void KeepContent(std::string_view event);

    std::unique_ptr<WatchedObject> object_;
    const std::string samplePath_;
    std::vector<Note> notes_;
    ContentChanges changes_;
    std::unique_ptr<VersionJob> versionJob_;
    std::unique_ptr<KeptVersion> version_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace tellweir
