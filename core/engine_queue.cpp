// The monitor engine's queue file: loading what can be loaded, keeping the entries it cannot read
// in their places, keeping a damaged file under another name before it is saved over, and
// refusing to write over a file it could not read.
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_map>
#include <unordered_set>

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
    const ReturnFreedMemoryAtEnd trim;
    std::lock_guard loading(queueFileLock_);
    const std::string path = settings_.String(setting::kMonitorQueueFile);
    if (path.empty()) return result::kInvalidParameter;
    unreadableQueue_.clear();
    damagedQueue_.clear();
    QueueFileReport report;
    report.file = path;
    const StateFileRead read = ReadStateFile(path, kMaxQueueFileBytes);
    if (!read.Read()) {
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
    }

    CXmlNode root;
    CStringSource source(read.text);
    // Where each entry of the top element lies in the file, to keep the ones that cannot be read.
    std::unordered_map<const CXmlNode*, ByteRange> entries;
    const XmlParseResult parsed = CXmlParser().ParseDocument(
        root, source,
        [&root, &entries](const CXmlNode& element, std::uint64_t begin, std::uint64_t end) {
            if (element.Parent() != nullptr && element.Parent()->Parent() == &root)
                entries.emplace(&element, ByteRange(begin, end));
        });
    report.problem = DescribeXmlDamage(parsed, root, "Monitors");

    Lock lock(lock_);
    DeleteAllTasksLocked();
    keptEntries_.clear();
    CXmlNode* top = FindTopElement(root);
    if (top != nullptr && top->Name() == "Monitors") {
        // Only the tasks restored here are in the list, and no other thread knows them yet, so
        // their names can be kept up to date here instead of being gathered for every task.
        std::unordered_set<std::string> taken;
        MonitorTaskPtr previous;
        for (const auto& child : top->GetChildren()) {
            const int type = child->Type();
            if (type != XML_START_TAG && type != XML_ELEMENT && type != XML_EMPTY_ELEMENT &&
                type != XML_MALFORMED)
                continue;
            std::string label = "<" + child->Name() + ">";
            if (child->Name() == "Monitor") {
                MonitorTaskPtr task = CMonitorTask::Create();
                if (task->Restore(*child)) {
                    MakeUniqueAmong(*task, taken);
                    taken.insert(LowerAscii(task->GetName()));
                    tasks_.push_back(task);
                    previous = std::move(task);
                    continue;
                }
                if (!task->GetName().empty()) label = "\"" + task->GetName() + "\"";
                task->ReleaseLog();
            }
            const auto range = entries.find(child.get());
            std::string markup;
            if (range != entries.end())
                markup = read.text.substr(range->second.first,
                                          range->second.second - range->second.first);
            if (markup.empty() || !IsWholeEntry(markup)) {
                // Only in a damaged file; its kept copy holds the entry.
                report.skipped.push_back(
                    "Skipped the queue file entry " + label +
                    ": it is damaged and left out; the kept copy of the file holds it.");
                continue;
            }
            keptEntries_.push_back({previous, std::move(markup)});
            report.skipped.push_back("Skipped the queue file entry " + label +
                                     ": it cannot be read and stays in the file as it is.");
        }
    }
    ReindexLocked();
    report.loaded = static_cast<std::int32_t>(tasks_.size());
    if (report.Damaged()) {
        damagedQueue_ = path;
        report.keptAs =
            ResolveFileLinks(path) + ".damaged-" + DateTime::Now().Format(kCopyDateFormat);
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
    CXmlNode root;
    {
        Lock lock(lock_);
        CXmlNode* declaration = root.AddChild("", "", "", XML_DECLARATION);
        CXmlNode* top = declaration->AddChild("Monitors", "", "", XML_ELEMENT);
        top->AddChild("", "", "X-Monitors", XML_TEXT);
        // The entries the load could not read go back verbatim, after the task they followed.
        const auto addKept = [this, top](const CMonitorTask* after) {
            for (const KeptEntry& entry : keptEntries_) {
                if (entry.after.get() != after) continue;
                std::unique_ptr<CXmlNode> node = top->CreateNode();
                node->Assign(entry.markup, "", XML_TEXT);
                top->AppendChild(std::move(node));
            }
        };
        addKept(nullptr);
        for (const MonitorTaskPtr& task : tasks_) {
            task->Save(*top->AddChild("Monitor", "", "", XML_ELEMENT));
            addKept(task.get());
        }
    }
    CStringSink sink;
    root.WriteDocument(sink);
    if (!WriteFileAtomically(path, sink.Text())) return ResultFromErrno(errno ? errno : EACCES);
    return result::kOk;
}

}  // namespace tellweir
