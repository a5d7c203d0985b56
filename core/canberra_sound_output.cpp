// Sound output through libcanberra. A blocking tone waits for the finish callback, which
// libcanberra calls on its own thread, by play id rather than by pointer, so a callback that
// arrives after the wait gave up touches nothing that is gone.
#include "core/canberra_sound_output.h"

#include <canberra.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "core/tone_wave.h"
#include "store/app_identity.h"
#include "transfer/file_path.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

// Ids of tones whose finish is awaited, and those that have finished.
std::mutex g_finishLock;
std::condition_variable g_finished;
std::set<std::uint32_t> g_awaited;
std::set<std::uint32_t> g_done;
std::uint32_t g_nextPlayId = 1;

void OnPlayFinished(ca_context*, std::uint32_t id, int, void*) {
    std::lock_guard g(g_finishLock);
    if (g_awaited.count(id)) {
        g_done.insert(id);
        g_finished.notify_all();
    }
}

std::uint32_t NewPlayId() {
    std::lock_guard g(g_finishLock);
    return g_nextPlayId++;
}

std::string CacheHome() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.cache";
    return {};
}

// One file play with its properties; the sample cache is bypassed because each file is played
// rarely and may change between plays.
int PlayFileWithId(ca_context* context, std::uint32_t id, const std::string& path,
                   ca_finish_callback_t callback) {
    ca_proplist* props = nullptr;
    if (ca_proplist_create(&props) != CA_SUCCESS) return CA_ERROR_OOM;
    ca_proplist_sets(props, CA_PROP_MEDIA_FILENAME, path.c_str());
    ca_proplist_sets(props, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
    const int rc = ca_context_play_full(context, id, props, callback, nullptr);
    ca_proplist_destroy(props);
    return rc;
}

}  // namespace

CCanberraSoundOutput::CCanberraSoundOutput(std::string toneFolder)
    : toneFolder_(toneFolder.empty() ? DefaultToneFolder() : std::move(toneFolder)) {}

CCanberraSoundOutput::~CCanberraSoundOutput() {
    if (context_) ca_context_destroy(context_);
}

std::string CCanberraSoundOutput::DefaultToneFolder() {
    const std::string base = CacheHome();
    if (base.empty()) return {};
    std::string company, product;
    CAppIdentity& identity = CAppIdentity::Instance();
    identity.GetIdentity(CAppIdentity::kCompany, company);
    identity.GetIdentity(CAppIdentity::kProduct, product);
    return base + "/" + company + "/" + product + "/Tones";
}

namespace {

ca_context* OpenContext(const char* driver) {
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS) return nullptr;
    if ((driver != nullptr && ca_context_set_driver(context, driver) != CA_SUCCESS) ||
        ca_context_open(context) != CA_SUCCESS) {
        ca_context_destroy(context);
        return nullptr;
    }
    return context;
}

// A playback device of the kernel's sound layer ("/dev/snd/pcmC0D0p").
bool HasSoundCard() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error))
        if (entry.path().filename().string().starts_with("pcmC")) return true;
    return false;
}

}  // namespace

ca_context* CCanberraSoundOutput::ContextLocked() {
    if (context_) return context_;
    // The sound server first: the direct backend writes its own complaints to standard error
    // on a machine without a sound card, so it is only tried when there is one.
    context_ = OpenContext("pulse");
    if (context_ == nullptr && HasSoundCard()) context_ = OpenContext(nullptr);
    return context_;
}

bool CCanberraSoundOutput::PlayTone(std::uint32_t frequency, std::uint32_t durationMs) {
    durationMs = std::min(durationMs, kMaxToneMs);
    if (durationMs == 0) return true;
    const std::string path = EnsureToneFile(toneFolder_, frequency, durationMs);
    if (path.empty()) return false;

    const std::uint32_t id = NewPlayId();
    {
        std::lock_guard g(g_finishLock);
        g_awaited.insert(id);
    }
    int rc;
    ca_context* context;
    {
        std::lock_guard g(lock_);
        context = ContextLocked();
        rc = context ? PlayFileWithId(context, id, path, OnPlayFinished) : CA_ERROR_NOTAVAILABLE;
    }
    bool timedOut = false;
    {
        std::unique_lock g(g_finishLock);
        if (rc == CA_SUCCESS) {
            const auto limit = std::chrono::milliseconds(durationMs) + kToneGrace;
            timedOut = !g_finished.wait_for(g, limit, [id] { return g_done.count(id) > 0; });
        }
        g_awaited.erase(id);
        g_done.erase(id);
    }
    // Outside g_finishLock: cancelling may call the finish callback at once.
    if (timedOut) ca_context_cancel(context, id);
    return rc == CA_SUCCESS;
}

bool CCanberraSoundOutput::PlaySystemSound(std::string_view eventId) {
    const std::string id(eventId);
    std::lock_guard g(lock_);
    ca_context* context = ContextLocked();
    return context &&
           ca_context_play(context, 0, CA_PROP_EVENT_ID, id.c_str(), nullptr) == CA_SUCCESS;
}

bool CCanberraSoundOutput::PlayFile(std::string_view path) {
    // libcanberra reports a missing file only from its playback thread on some back ends.
    if (path.empty() || !IsFile(path)) return false;
    std::lock_guard g(lock_);
    ca_context* context = ContextLocked();
    return context && PlayFileWithId(context, 0, NativePath(path), nullptr) == CA_SUCCESS;
}

}  // namespace tellweir
