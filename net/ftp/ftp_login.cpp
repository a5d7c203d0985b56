// Logging in to an FTP server: choosing the credentials (anonymous, from the URL, the password
// store or a prompt), one login at a time per site, and answering S/Key and OTP challenges with
// a one-time password instead of the pass phrase.
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/text_format.h"
#include "net/ftp/ftp_session.h"
#include "net/ftp/otp_challenge.h"
#include "net/net_log.h"
#include "store/password_store.h"
#include "store/setting_ids.h"
#include "transfer/transfer.h"
#include "url/url_address.h"

namespace tellweir {
namespace {

constexpr int kMaxLoginPrompts = 10;

// The process-wide lock of one site ("host:port"): logins to a site run one at a time, so that
// several sessions do not use up a one-time-password sequence number together.
std::mutex& SiteLoginLock(const std::string& site) {
    static std::mutex registryLock;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::lock_guard guard(registryLock);
    std::unique_ptr<std::mutex>& lock = locks[site];
    if (!lock) lock = std::make_unique<std::mutex>();
    return *lock;
}

}  // namespace

TransferResult FtpResultForClass(int code) {
    switch (code / 100) {
        case 4:
            return result::kFtp4xx;
        case 5:
            return result::kFtp5xx;
        default:
            return result::kFtpError;
    }
}

std::string_view FtpLoginTypeName(int type) {
    static constexpr std::string_view kNames[] = {"anonymous", "normal",   "double",
                                                  "skey auto", "skey md4", "skey md5"};
    return type >= 0 && type < 6 ? kNames[type] : std::string_view();
}

TransferResult CFtpSession::LoginWithCredentials(CTransfer& transfer, ILog* log) {
    std::string greeting;
    int code = 0;
    const TransferResult read = ReadFtpReply(log, greeting, code);
    if (read != result::kOk) return read;
    if (code / 100 != 2) return FtpResultForClass(code);

    const CUrlAddress& address = transfer.Address();
    std::string user;
    std::string password;
    bool ask = ChooseCredentials(address, user, password);
    const std::string siteUrl = ComposeUrl(address, "", UrlParts{});
    const std::string site = Format("%s:%d", address.host, address.port);
    for (int refused = 0;; ++refused) {
        if (ask) {
            const TransferResult prompted = PromptLogin(siteUrl, user, password, log);
            // Unanswered after a refusal, the refusal is what the run ends with, not a stop.
            if (prompted != result::kOk)
                return refused > 0 && !IsAborted() ? result::kFtp5xx : prompted;
        }
        const TransferResult logged = LoginHoldingSiteLock(site, user, password, log);
        if (logged == result::kOk) {
            loginUser_ = user;
            loginPassword_ = password;
            return result::kOk;
        }
        if (logged != result::kFtp5xx || refused >= kMaxLoginPrompts) return logged;
        ask = true;
    }
}

bool CFtpSession::ChooseCredentials(const CUrlAddress& address, std::string& user,
                                    std::string& password) const {
    user = address.user;
    password = address.password;
    bool ask = false;
    if (!user.empty()) {
        if (user == "$") {
            user.clear();
            password.clear();
            ask = true;
        } else if (password == "$") {
            password.clear();
            ask = true;
        }
    } else {
        user = "anonymous";
        password = Settings().String(setting::kAnonymousPassword);
        if (password.empty()) password = "visit@";
    }
    // Credentials a prompt gave earlier in this session stand for a second prompt.
    if (ask && !promptedUser_.empty()) {
        user = promptedUser_;
        password = promptedPassword_;
        ask = false;
    }
    if (!user.empty() && password.empty() && !ask) {
        CUrlAddress site = address;
        site.user = user;
        CPasswordStore::Instance().Get(ComposeUrl(site, "", UrlParts{.user = true}), password);
    }
    return ask;
}

TransferResult CFtpSession::PromptLogin(std::string_view siteUrl, std::string& user,
                                        std::string& password, ILog* log) {
    password.clear();
    const TransferResult prompted = PromptCredentials(siteUrl, user, password, log);
    if (prompted != result::kOk) return prompted;
    promptedUser_ = user;
    promptedPassword_ = password;
    return result::kOk;
}

TransferResult CFtpSession::LoginHoldingSiteLock(const std::string& site, std::string_view user,
                                                 std::string_view password, ILog* log) {
    std::mutex& lock = SiteLoginLock(site);
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(ConnectionTimeoutMs());
    // Polled rather than a timed wait: the wait must notice a stop, and ThreadSanitizer
    // misreads timed mutexes.
    while (!lock.try_lock()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (IsAborted()) return result::kStopped;
        if (std::chrono::steady_clock::now() >= giveUp) {
            LogMessage(log, kLevelError, msg::kTimeoutOn, "FTP login");
            return result::kTimeout;
        }
    }
    const TransferResult logged = Login(user, password, log);
    lock.unlock();
    return logged;
}

TransferResult CFtpSession::Login(std::string_view user, std::string_view password, ILog* log) {
    if (IsAborted()) return result::kStopped;
    int code = 0;
    std::string reply;
    const TransferResult sent = Command(Format("USER %s", user), log, code, reply);
    if (sent != result::kOk) return sent;
    if (code / 100 == 2) return result::kOk;
    if (code / 100 != 3) return FtpResultForClass(code);

    std::string response(password);
    const OtpChallenge challenge = ReadOtpChallenge(reply);
    if (challenge.kind == OtpChallenge::Kind::Unreadable) {
        const int type = challenge.hash == OtpHash::Md4 ? kFtpLoginSkeyMd4 : kFtpLoginSkeyMd5;
        LogMessage(log, kLevelError, msg::kLoginTypeNotSupported, FtpLoginTypeName(type));
        return result::kFtpLoginType;
    }
    if (challenge.kind == OtpChallenge::Kind::Readable) {
        const std::optional<std::string> otp =
            ComputeOtp(challenge.sequence, password, challenge.seed, challenge.hash);
        if (!otp) {
            LogMessage(log, kLevelError, msg::kLoginTypeNotSupported,
                       FtpLoginTypeName(static_cast<int>(challenge.hash)));
            return result::kFtpLoginType;
        }
        response = *otp;
        LogMessage(log, kLevelError, msg::kSkeyGenerated, response);
    }
    const TransferResult answered = Command(Format("PASS %s", response), log, code, reply);
    if (answered != result::kOk) return answered;
    return code / 100 == 2 ? result::kOk : FtpResultForClass(code);
}

}  // namespace tellweir
