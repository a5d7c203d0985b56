// The FTP session against a real FTP server (pyftpdlib on 127.0.0.1): file information,
// downloads over every kind of data connection, resuming, listings, missing files, the login
// with stored, prompted and refused passwords, and noticing a server that went away.
#include <gtest/gtest.h>
#include <utime.h>

#include "store/password_store.h"
#include "tests/net/ftp_test_support.h"
#include "tests/support/file_text.h"
#include "tests/support/ftp_server.h"
#include "tests/support/wait_until.h"
#include "transfer/local_fs.h"
#include "url/file_type.h"
#include "url/url_address.h"

namespace tellweir::testing {
namespace {

// 5 March 2004, 12:00:00 UTC: the server reports file times in UTC.
constexpr std::time_t kReadmeTime = 1078488000;

int Count(const std::string& text, std::string_view part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Bytes that differ from position to position, so a misplaced piece shows.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class FtpServerTest : public FtpTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartFtpServer(ftp_, dir_)) << ftp_.server.error;
        WriteAll(ftp_.anonymousRoot + "/readme.txt", "hello ftp\n");
        const utimbuf times{kReadmeTime, kReadmeTime};
        ::utime((ftp_.anonymousRoot + "/readme.txt").c_str(), &times);
        ::mkdir((ftp_.anonymousRoot + "/pub").c_str(), 0755);
        WriteAll(ftp_.anonymousRoot + "/pub/a.txt", "a");
        WriteAll(ftp_.anonymousRoot + "/pub/b.bin", "bb");
        WriteAll(ftp_.anonymousRoot + "/big.bin", big_);
        WriteAll(ftp_.userRoot + "/private.txt", "for alice only\n");
    }

    std::string Url(std::string_view path, std::string_view credentials = "") const {
        return "ftp://" + std::string(credentials) + "127.0.0.1:" + std::to_string(ftp_.Port()) +
               std::string(path);
    }

    FtpServer ftp_;
    const std::string big_ = Pattern(300 * 1024 + 17);
};

TEST_F(FtpServerTest, FileInformationBySizeAndTimeOrAsADirectory) {
    struct Case {
        const char* path;
        const char* credentials;
        TransferResult result;
        std::int64_t size;
        FileType type;
        const char* time;  // null: no time
    };
    const Case cases[] = {
        {"/readme.txt", "", 0, 10, FileType::Text, "03/05/2004 12:00:00"},
        {"/pub", "", 0, -1, FileType::FtpList, nullptr},
        {"/private.txt", "alice:secret@", 0, 15, FileType::Text, ""},
        {"/missing.txt", "", result::kRemoteNotFound, -1, FileType::Unknown, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto transfer = NewTransfer(Url(c.path, c.credentials), kFtpDataPassive);
        FtpSessionPtr session = NewSession(*transfer);
        ASSERT_EQ(session->Connect(*transfer, &log()), 0) << log().Text();
        EXPECT_EQ(session->GetFileInfo(*transfer, &log()), c.result) << log().Text();
        EXPECT_EQ(transfer->Has(prop::kSize) ? transfer->Int64(prop::kSize) : -1, c.size);
        EXPECT_EQ(transfer->Int(prop::kType), static_cast<int>(c.type));
        EXPECT_EQ(transfer->Int(prop::kSizeKnown), c.size >= 0 ? 1 : 0);
        EXPECT_EQ(transfer->Has(prop::kTimeModified), c.time != nullptr);
        if (c.time != nullptr && *c.time != '\0') {
            EXPECT_EQ(transfer->String(prop::kTimeModified), c.time);
        }
        if (c.result == result::kRemoteNotFound) {
            EXPECT_NE(transfer->String(prop::kStatusLine), "") << "the server's refusal is kept";
        }
        EXPECT_FALSE(transfer->String(prop::kAdded).empty());
    }
}

TEST_F(FtpServerTest, DownloadsOverEveryDataConnectionReuseTypeAndRestartStates) {
    struct Case {
        int type;
        const char* mark;  // a line of the log that only this kind writes
    };
    const Case cases[] = {
        {kFtpDataActive, "2|PORT 127,0,0,1,"},
        {kFtpDataPassive, "0|PASV - data connection established."},
        {kFtpDataPassiveCmdAfter, "0|PASV - data connection established."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        NewLog();
        auto transfer = NewTransfer(Url("/big.bin"), c.type);
        FtpSessionPtr session = NewSession(*transfer);
        const std::string target = dir_ / ("big" + std::to_string(c.type));
        ASSERT_EQ(Download(*session, *transfer, target), 0) << log().Text();
        EXPECT_EQ(ReadAll(target), big_);
        EXPECT_GE(log().Find(c.mark), 0) << log().Text();

        // A second file on the same connection: TYPE I and REST 0 are already in force.
        auto second = NewTransfer(Url("/readme.txt"), c.type);
        ASSERT_EQ(Download(*session, *second, target + ".txt"), 0) << log().Text();
        EXPECT_EQ(ReadAll(target + ".txt"), "hello ftp\n");
        EXPECT_EQ(second->String(prop::kTimeModified), "03/05/2004 12:00:00");
        const std::string sent = Sent();
        EXPECT_EQ(Count(sent, "USER anonymous"), 1) << sent;
        EXPECT_EQ(Count(sent, "TYPE I\n"), 1) << sent;
        EXPECT_EQ(Count(sent, "REST 0\n"), 1) << sent;
        EXPECT_EQ(Count(sent, "RETR "), 2) << sent;
        EXPECT_EQ(session->TypeState(), 1);
        EXPECT_EQ(session->RestartState(), 0);
    }
}

TEST_F(FtpServerTest, PartialFileIsResumedFromItsLength) {
    const std::string target = dir_ / "partial.bin";
    WriteAll(target, big_.substr(0, 1000));
    auto transfer = NewTransfer(Url("/big.bin"), kFtpDataPassive);
    FtpSessionPtr session = NewSession(*transfer);
    ASSERT_EQ(Download(*session, *transfer, target), 0) << log().Text();
    EXPECT_EQ(ReadAll(target), big_);
    EXPECT_NE(Sent().find("REST 1000\nRETR /big.bin\n"), std::string::npos) << Sent();
    EXPECT_EQ(session->RestartState(), -1) << "the marker of another offset is not assumed gone";
}

TEST_F(FtpServerTest, DirectoryUrlIsListedIntoTheFile) {
    const std::string target = dir_ / "listing.txt";
    auto transfer = NewTransfer(Url("/pub/"), kFtpDataPassiveCmdAfter);
    FtpSessionPtr session = NewSession(*transfer);
    ASSERT_EQ(Download(*session, *transfer, target), 0) << log().Text();
    const std::string listing = ReadAll(target);
    EXPECT_NE(listing.find("a.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("b.bin"), std::string::npos) << listing;
    EXPECT_NE(Sent().find("CWD /pub/\nTYPE A\nPASV\nREST 0\nLIST\n"), std::string::npos) << Sent();
    EXPECT_LT(log().Find("0|Starting read from data socket."),
              log().Find("0|Read from data socket finished."));
    EXPECT_GE(log().Find("5|"), 0) << "the listing is shown in the log";
    EXPECT_EQ(transfer->Int(prop::kType), static_cast<int>(FileType::FtpList));
}

TEST_F(FtpServerTest, MissingFileEndsWith1001AndLeavesNoTarget) {
    const std::string target = dir_ / "missing.txt";
    auto transfer = NewTransfer(Url("/missing.txt"), kFtpDataPassive);
    FtpSessionPtr session = NewSession(*transfer);
    EXPECT_EQ(Download(*session, *transfer, target), result::kRemoteNotFound) << log().Text();
    EXPECT_FALSE(IsFile(target));
    EXPECT_TRUE(session->IsConnected()) << "a refusal keeps the connection";
}

TEST_F(FtpServerTest, LoginWithStoredPromptedAndRefusedPasswords) {
    const std::string storeKey = Url("", "alice@");
    struct Case {
        const char* what;
        const char* credentials;
        bool stored;             // the right password is in the password store
        const char* answerUser;  // null: nobody answers prompts
        const char* answerPassword;
        TransferResult result;
        int passCommands;
        int prompts;
    };
    const Case cases[] = {
        {"wrong password, nobody to ask", "alice:wrong@", false, nullptr, nullptr, result::kFtp5xx,
         1, 0},
        {"wrong password, wrong answers", "alice:wrong@", false, "alice", "bad", result::kFtp5xx,
         11, 10},
        {"asked for user and password", "$@", false, "alice", "secret", 0, 1, 1},
        {"asked for the password", "alice:$@", false, "alice", "secret", 0, 1, 1},
        {"stored password", "alice@", true, nullptr, nullptr, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewLog();
        if (c.stored) CPasswordStore::Instance().Set(storeKey, kFtpTestPassword);
        std::unique_ptr<PromptAnswerer> answerer;
        if (c.answerUser)
            answerer = std::make_unique<PromptAnswerer>(c.answerUser, c.answerPassword);
        auto transfer = NewTransfer(Url("/private.txt", c.credentials), kFtpDataPassive);
        FtpSessionPtr session = NewSession(*transfer);
        EXPECT_EQ(session->Connect(*transfer, &log()), c.result) << log().Text();
        EXPECT_EQ(session->IsConnected(), c.result == 0);
        EXPECT_EQ(Count(Sent(), "PASS ****\n"), c.passCommands) << Sent();
        if (answerer) {
            EXPECT_EQ(answerer->Prompts(), c.prompts);
        }
        if (c.result == 0) {
            EXPECT_EQ(session->LoginUser(), kFtpTestUser);
        }
        EXPECT_EQ(log().Text().find(kFtpTestPassword), std::string::npos) << "never logged";
        CPasswordStore::Instance().Remove(storeKey);
    }
}

TEST_F(FtpServerTest, IdleCheckNoticesTheServerWentAway) {
    auto transfer = NewTransfer(Url("/readme.txt"), kFtpDataPassive);
    FtpSessionPtr session = NewSession(*transfer);
    ASSERT_EQ(session->Connect(*transfer, &log()), 0) << log().Text();
    session->CheckAlive();
    EXPECT_TRUE(session->IsConnected());
    ftp_.server.process.Stop();
    EXPECT_TRUE(WaitUntil(
        [&] {
            session->CheckAlive();
            return !session->IsConnected();
        },
        std::chrono::seconds(2), std::chrono::milliseconds(20)));
}

}  // namespace
}  // namespace tellweir::testing
