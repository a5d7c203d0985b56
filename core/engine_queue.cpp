// The monitor engine's queue file: loading what can be loaded, keeping the entries it cannot read
// in their places, keeping a damaged file under another name before it is saved over, and
// refusing to write over a file it could not read. Both directions go one entry at a time, so
// that a queue of any length is never held whole as text or as a parsed document.
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/ascii_text.h"
#include "base/date_time.h"
#include "base/text_format.h"
#include "core/monitor_engine.h"
#include "log/status_message.h"
#include "store/atomic_file.h"
#include "store/setting_ids.h"
#include "store/state_file.h"
#include "store/xml_parser.h"
#include "transfer/file_path.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"

namespace tellweir {

namespace {

// A task takes about 2.2 KB of the queue file, so 100,000 tasks are about 220 MB; a file past
// room for twice that is refused unread, so that a stray huge file costs no memory.
constexpr std::size_t kMaxQueueFileBytes = 512u << 20;
// Declared first in a function that builds a queue document, so that it runs after the document
// is gone: a document takes several times the memory of the tasks it describes, and the heap
// would otherwise stay at that peak for as long as the program runs.
struct ReturnFreedMemoryAtEnd {
    ReturnFreedMemoryAtEnd() = default;
    ReturnFreedMemoryAtEnd(const ReturnFreedMemoryAtEnd&) = delete;
    ReturnFreedMemoryAtEnd& operator=(const ReturnFreedMemoryAtEnd&) = delete;
    ~ReturnFreedMemoryAtEnd() {
#ifdef __GLIBC__
        ::malloc_trim(0);
#endif
    }
};

// Names tried for the kept copy of a damaged file: the planned one, then "-2", "-3", ...
constexpr int kMaxCopyNames = 100;
// Without ':' so that the name is valid on every file system the folder may be shared with.
constexpr const char* kCopyDateFormat = "%Y%m%d-%H%M%S";

using ByteRange = std::pair<std::uint64_t, std::uint64_t>;

// The layout of the queue file: the defaults of CXmlNode::WriteDocument.
constexpr std::string_view kIndent = "  ";
constexpr std::string_view kLineEnd = "\r\n";

// True when `markup`, read alone, is whole: written back, it cannot make the file damaged.
bool IsWholeEntry(std::string_view markup) {
    CXmlNode root;
    CStringSource source(markup);
    return DescribeXmlDamage(CXmlParser().ParseDocument(root, source)).empty();
}

// Makes `copy` hold the content of `source` without touching `source`: a hard link, or a copy of
// the bytes where the file system refuses links. False (errno set) when `copy` exists or
// neither works.
bool KeepCopy(const std::string& source, const std::string& copy) {
    if (::link(source.c_str(), copy.c_str()) == 0) return true;
    if (errno == EEXIST || errno == ENOENT) return false;
    if (GetPathKind(copy) != PathKind::Missing) {
        errno = EEXIST;
        return false;
    }
    const StateFileRead read = ReadStateFile(source, kMaxQueueFileBytes);
    if (!read.Read()) {
        errno = read.error;
        return false;
    }
    return WriteFileAtomically(copy, read.text);
}

// Hands the file's bytes to the parser and keeps those not yet forgotten, so that an entry that
// cannot be read can be written back verbatim without the whole file being held.
class CEntrySource final : public IByteSource {
  public:
    explicit CEntrySource(IByteSource& file) : file_(file) {}

    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = file_.Read(buffer, count);
        kept_.append(static_cast<const char*>(buffer), n);
        return n;
    }
    // The bytes from offset `begin` to `end` of the input; none of them forgotten.
    std::string Bytes(std::uint64_t begin, std::uint64_t end) const {
        return kept_.substr(static_cast<std::size_t>(begin - base_),
                            static_cast<std::size_t>(end - begin));
    }
    // Drops the bytes before offset `offset`, which must have been read. They go once they are
    // half of what is kept, so that each byte is moved about once.
    void Forget(std::uint64_t offset) {
        const auto count = static_cast<std::size_t>(offset - base_);
        if (count < kept_.size() / 2) return;
        kept_.erase(0, count);
        base_ = offset;
    }

  private:
    IByteSource& file_;
    std::string kept_;  // the bytes read from offset base_ on
    std::uint64_t base_ = 0;
};

// A node whose CreateNode hands out the nodes released into `spare` before it makes new ones:
// the elements of one task after another are alike, so a save reuses the nodes, and the room
// of their texts, of the task before.
class CReusingNode final : public CXmlNode {
  public:
    explicit CReusingNode(Children& spare) : spare_(spare) {}

    std::unique_ptr<CXmlNode> CreateNode() const override {
        if (spare_.empty()) return std::make_unique<CReusingNode>(spare_);
        std::unique_ptr<CXmlNode> node = std::move(spare_.back());
        spare_.pop_back();
        return node;
    }

  private:
    Children& spare_;
};

// Passes what is written on to an atomic file in large pieces, so that a queue is written without
// being held whole and in few system calls; keeps the errno of the first failed write.
class CAtomicFileSink final : public IByteSink {
  public:
    explicit CAtomicFileSink(CAtomicFileWriter& file) : file_(file) { buffer_.reserve(kPiece); }

    void Write(std::string_view bytes) override {
        buffer_.append(bytes);
        if (buffer_.size() >= kPiece) Flush();
    }
    // Writes what is buffered; false once any write has failed.
    bool Flush() {
        if (error_ == 0 && !buffer_.empty() && !file_.Write(buffer_)) error_ = errno ? errno : EIO;
        buffer_.clear();
        return error_ == 0;
    }
    int Error() const { return error_; }

  private:
    static constexpr std::size_t kPiece = 256 * 1024;

    CAtomicFileWriter& file_;
    std::string buffer_;
    int error_ = 0;
};

}  // namespace

std::string QueueFileReport::Describe() const {
    if (unreadable)
        return Format("Cannot read the queue file \"%s\" (%s): it is left as it is.", file,
                      problem);
    if (problem.empty()) return {};
    if (kept) return Format("The queue was damaged: \"%s\" kept as \"%s\".", file, keptAs);
    return Format(
        "Cannot read all of the queue file \"%s\" (%s): %d task(s) loaded; the next save first "
        "keeps it as \"%s\".",
        file, problem, loaded, keptAs);
}

void CMonitorEngine::WriteEngineLog(int level, const std::string& line) {
    if (ItemLogPtr log = GetEngineLog()) log->Write(level, line);
}

QueueFileReport CMonitorEngine::GetQueueReport() const {
    Lock lock(lock_);
    return queueReport_;
}

TransferResult CMonitorEngine::LoadQueue() {
    return ReadQueueFile(nullptr);
}

TransferResult CMonitorEngine::VisitQueue(const TaskVisitor& visit) {
    return ReadQueueFile(&visit);
}

TransferResult CMonitorEngine::ReadQueueFile(const TaskVisitor* visit) {
    const ReturnFreedMemoryAtEnd trim;
    std::lock_guard loading(queueFileLock_);
    const std::string path = settings_.String(setting::kMonitorQueueFile);
    if (path.empty()) return result::kInvalidParameter;
    unreadableQueue_.clear();
    damagedQueue_.clear();
    QueueFileReport report;
    report.file = path;
    // A file that cannot be read whole leaves the list as it was.
    const auto refuse = [&](const StateFileRead& read) {
        // A folder has always been refused as not readable.
        const TransferResult failed = ResultFromErrno(read.error == EISDIR ? EACCES : read.error);
        if (!read.missing) {
            report.problem = read.problem;
            report.unreadable = true;
            unreadableQueue_ = path;
            unreadableResult_ = failed;
        }
        Lock lock(lock_);
        queueReport_ = report;
        if (report.unreadable) WriteEngineLog(kLevelError, report.Describe());
        return failed;
    };
    CStateFileReader file(path, kMaxQueueFileBytes);
    if (!file.Status().Read()) return refuse(file.Status());

    // The file is parsed as it is read, and each entry of the top element is restored as soon
    // as its end tag is read and then dropped from the tree, so neither the file nor the parsed
    // document is ever held whole: a whole document takes several times the memory of the tasks
    // it describes. No other thread knows the restored tasks before they join the list, so they
    // need no engine lock until then.
    CEntrySource source(file);
    CXmlNode root;
    const CXmlNode* top = nullptr;  // the first element of the document, once one is read
    std::vector<MonitorTaskPtr> restored;
    std::vector<KeptEntry> kept;
    std::unordered_set<std::string> taken;  // the lower-case names of the tasks read so far
    MonitorTaskPtr previous;                // the task read last, which a kept entry follows
    std::int32_t loaded = 0;
    // `range` is where the entry lies in the file; null for one whose end tag never came.
    const auto takeEntry = [&](CXmlNode& child, const ByteRange* range) {
        const int type = child.Type();
        if (type != XML_START_TAG && type != XML_ELEMENT && type != XML_EMPTY_ELEMENT &&
            type != XML_MALFORMED)
            return;
        std::string label = "<" + child.Name() + ">";
        if (child.Name() == "Monitor") {
            MonitorTaskPtr task = CMonitorTask::Create();
            if (task->Restore(child)) {
                MakeUniqueAmong(*task, taken);
                taken.insert(LowerAscii(task->GetName()));
                ++loaded;
                if (visit != nullptr) {
                    (*visit)(*task);
                    task->ReleaseLog();
                } else {
                    restored.push_back(task);
                    previous = std::move(task);
                }
                return;
            }
            if (std::string name = task->GetName(); !name.empty()) {
                // Built in place: GCC 12 warns wrongly of overlapping copies in "\"" + name.
                name.insert(0, 1, '"');
                label = std::move(name) + '"';
            }
            task->ReleaseLog();
        }
        std::string markup;
        if (range != nullptr) markup = source.Bytes(range->first, range->second);
        if (markup.empty() || !IsWholeEntry(markup)) {
            // Only in a damaged file; its kept copy holds the entry.
            report.skipped.push_back(
                "Skipped the queue file entry " + label +
                ": it is damaged and left out; the kept copy of the file holds it.");
            return;
        }
        if (visit == nullptr) kept.push_back({previous, std::move(markup)});
        report.skipped.push_back("Skipped the queue file entry " + label +
                                 ": it cannot be read and stays in the file as it is.");
    };
    CXmlParser parser;
    const XmlParseResult parsed = parser.ParseDocument(
        root, source, [&](const CXmlNode& element, std::uint64_t begin, std::uint64_t end) {
            // Nodes are added in document order and only entries are removed, so the first
            // element found stays the first.
            if (top == nullptr) top = FindTopElement(root);
            CXmlNode* parent = element.Parent();
            if (parent != top || top->Name() != "Monitors") return;
            // Only an entry directly below a top element that is itself at the top level has
            // its place in the file recorded.
            const ByteRange range(begin, end);
            takeEntry(*parent->GetChildren().back(), top->Parent() == &root ? &range : nullptr);
            parser.ReleaseLastChild(*parent);
            source.Forget(end);
        });
    if (!file.Status().Read()) {
        for (const MonitorTaskPtr& task : restored)
            task->ReleaseLog();
        return refuse(file.Status());
    }
    report.problem = DescribeXmlDamage(parsed, root, "Monitors");
    // What is left below the top element: the entries whose end tag never came.
    if (top == nullptr) top = FindTopElement(root);
    if (top != nullptr && top->Name() == "Monitors") {
        for (const auto& child : top->GetChildren())
            takeEntry(*child, nullptr);
    }

    Lock lock(lock_);
    DeleteAllTasksLocked();
    tasks_ = std::move(restored);
    keptEntries_ = std::move(kept);
    ReindexLocked();
    report.loaded = loaded;
    if (report.Damaged()) {
        damagedQueue_ = path;
        report.keptAs =
            ResolveFileLinks(path) + ".damaged-" + DateTime::Now().Format(kCopyDateFormat);
    }
    if (visit != nullptr) {
        // The list holds none of the tasks read: a save would write an empty queue.
        unreadableQueue_ = path;
        unreadableResult_ = result::kReadOnly;
    }
    queueReport_ = report;
    if (report.Damaged()) WriteEngineLog(kLevelError, report.Describe());
    for (const std::string& line : report.skipped)
        WriteEngineLog(kLevelError, line);
    return result::kOk;
}

bool CMonitorEngine::KeepDamagedQueueFile(const std::string& path) {
    const std::string source = ResolveFileLinks(path);
    std::string planned;
    {
        Lock lock(lock_);
        planned = queueReport_.keptAs;
    }
    if (source.empty() || planned.empty()) return false;
    // Gone since the load: there is nothing left to keep.
    if (GetPathKind(source) == PathKind::Missing) return true;
    for (int n = 1; n <= kMaxCopyNames; ++n) {
        const std::string copy = n == 1 ? planned : planned + "-" + std::to_string(n);
        if (KeepCopy(source, copy)) {
            Lock lock(lock_);
            queueReport_.keptAs = copy;
            queueReport_.kept = true;
            WriteEngineLog(kLevelError, queueReport_.Describe());
            return true;
        }
        if (errno != EEXIST) break;
    }
    return false;
}

TransferResult CMonitorEngine::SaveQueue() {
    // Read before the snapshot: the requests made so far need no save of their own.
    const std::uint64_t asked = saver_.Asked();
    const TransferResult result = WriteQueue();
    saver_.Written(asked, result);
    return result;
}

void CMonitorEngine::RequestSave() {
    saver_.Request();
}

TransferResult CMonitorEngine::WaitForSaves() {
    return saver_.Wait();
}

void CMonitorEngine::EndSaves() {
    saver_.End();
}

void CMonitorEngine::ReportSaveFailure(TransferResult result) {
    const std::string text =
        Format("Cannot save the queue file \"%s\" (%s).",
               settings_.String(setting::kMonitorQueueFile), ResultName(result));
    WriteEngineLog(kLevelError, text);
    desktop_.QueueSaveFailed(text);
}

TransferResult CMonitorEngine::WriteQueue() {
    const ReturnFreedMemoryAtEnd trim;
    std::lock_guard saving(queueFileLock_);
    const std::string path = settings_.String(setting::kMonitorQueueFile);
    if (path.empty()) return result::kInvalidParameter;
    if (path == unreadableQueue_) return unreadableResult_;
    // A bare file name has no folder to create (making one would take the file's place).
    if (path.find_last_of("/\\") != std::string::npos) MakeDirectories(PathDirectory(path));
    if (path == damagedQueue_) {
        if (!KeepDamagedQueueFile(path)) {
            const int error = errno ? errno : EACCES;
            WriteEngineLog(kLevelError,
                           Format("Cannot keep the damaged queue file \"%s\" as \"%s\": it is "
                                  "not saved over.",
                                  path, GetQueueReport().keptAs));
            return ResultFromErrno(error);
        }
        damagedQueue_.clear();
    }
    // Written one task element at a time, each laid out as it would be inside the whole
    // document, so that no tree of the whole queue is ever built.
    CXmlNode top;
    top.Set("Monitors", "", "", XML_ELEMENT);
    CXmlNode declaration;
    declaration.Set("", "", "", XML_DECLARATION);
    // One process writes the queue at a time: any temporary file of an earlier save is stale.
    RemoveStaleTempFiles(path);
    CAtomicFileWriter file;
    if (!file.Open(path)) return ResultFromErrno(errno ? errno : EACCES);
    CAtomicFileSink sink(file);
    // The list as it is now, copied under the engine lock; the tasks are written outside it, each
    // under its own lock, so that neither the engine nor the windows wait for the disk. A task
    // deleted meanwhile is still written: its deletion asked for the save that follows this one.
    std::vector<MonitorTaskPtr> tasks;
    std::vector<KeptEntry> keptEntries;
    {
        Lock lock(lock_);
        tasks = tasks_;
        keptEntries = keptEntries_;
    }
    {
        sink.Write(declaration.Tag());
        sink.Write(kLineEnd);
        if (tasks.empty() && keptEntries.empty()) {
            // Alone, the marker text is written inline.
            top.AddChild("", "", "X-Monitors", XML_TEXT);
            top.WriteDocument(sink, kIndent, "", kLineEnd);
        } else {
            sink.Write(top.Tag());
            sink.Write(kLineEnd);
            top.AddChild("", "", "X-Monitors", XML_TEXT)->WriteDocument(sink, kIndent, kIndent);
            // The entries the load could not read go back verbatim, after the task they followed.
            const auto addKept = [&keptEntries, &sink](const CMonitorTask* after) {
                for (const KeptEntry& entry : keptEntries) {
                    if (entry.after.get() != after) continue;
                    sink.Write(kIndent);
                    sink.Write(entry.markup);
                    sink.Write(kLineEnd);
                }
            };
            addKept(nullptr);
            CXmlNode::Children spare;
            CReusingNode element(spare);
            for (const MonitorTaskPtr& task : tasks) {
                element.Set("Monitor", "", "", XML_ELEMENT);
                task->Save(element);
                element.WriteDocument(sink, kIndent, kIndent, kLineEnd);
                element.ReleaseChildren(spare);
                addKept(task.get());
            }
            sink.Write("</");
            sink.Write(top.Name());
            sink.Write(">");
            sink.Write(kLineEnd);
        }
    }
    if (!sink.Flush()) return ResultFromErrno(sink.Error());
    if (!file.Commit()) return ResultFromErrno(errno ? errno : EACCES);
    return result::kOk;
}

}  // namespace tellweir
