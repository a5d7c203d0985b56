// The password store: its map, the "Passwords.bf" layout, save and load, hostile files, and the
// scrambling of each password.
#include "store/password_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "store/blowfish.h"
#include "store/password_scramble.h"
#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::MakeTime;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

std::span<std::uint8_t> AsBytes(std::string& s) {
    return {reinterpret_cast<std::uint8_t*>(s.data()), s.size()};
}

CBlowfish FileCipher(std::string_view passphrase) {
    const std::string key = PasswordFileCipherKey(passphrase);
    return CBlowfish({reinterpret_cast<const std::uint8_t*>(key.data()), key.size()});
}

std::string Decipher(std::string file, std::string_view passphrase = {}) {
    FileCipher(passphrase).DecipherLittleEndian(AsBytes(file));
    return file;
}

// Pads a plaintext with blanks to whole blocks and enciphers it as the file would be.
std::string Encipher(std::string plain, std::string_view passphrase = {}) {
    plain.resize((plain.size() + 7) / 8 * 8, ' ');
    FileCipher(passphrase).EncipherLittleEndian(AsBytes(plain));
    return plain;
}

std::map<std::string, std::string> Contents(const CPasswordStore& store) {
    std::map<std::string, std::string> all;
    store.Enumerate([&](const std::string& k, const std::string& p) { all[k] = p; });
    return all;
}

DateTime FixedTime() {
    return MakeTime(2024, 3, 5, 7, 8, 9);
}

class PasswordStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { path_ = dir_ / kPasswordFileName; }

    TempDir dir_{"passwords"};
    std::string path_;
};

TEST_F(PasswordStoreTest, KeysAreCaseInsensitiveAndEmptyKeysRefused) {
    CPasswordStore store;
    EXPECT_TRUE(store.Set("ftp://User@Host.Example.COM", "pw1"));
    std::string pw = "stale";
    EXPECT_TRUE(store.Get("ftp://user@host.example.com", pw));
    EXPECT_EQ(pw, "pw1");
    EXPECT_TRUE(store.Set("FTP://USER@HOST.EXAMPLE.COM", "pw2"));  // same entry, replaced
    EXPECT_EQ(Contents(store),
              (std::map<std::string, std::string>{{"ftp://user@host.example.com", "pw2"}}));

    EXPECT_FALSE(store.Set("", "x"));
    EXPECT_FALSE(store.Remove(""));
    EXPECT_FALSE(store.Get("http://other", pw));
    EXPECT_EQ(pw, "");

    EXPECT_TRUE(store.Remove("Ftp://user@host.example.com"));
    EXPECT_FALSE(store.Remove("ftp://user@host.example.com"));
    EXPECT_TRUE(Contents(store).empty());
}

TEST_F(PasswordStoreTest, EveryChangeMovesTheStampAndSaveClearsDirty) {
    CPasswordStore store;
    EXPECT_FALSE(store.IsDirty());
    std::uint32_t last = store.GetStamp();
    auto moved = [&] {
        const std::uint32_t now = store.GetStamp();
        const bool up = now > last;
        last = now;
        return up;
    };
    store.Set("a", "1");
    EXPECT_TRUE(moved());
    store.Set("a", "1");
    EXPECT_TRUE(moved());
    store.Remove("missing");
    EXPECT_TRUE(moved());
    store.Clear();
    EXPECT_TRUE(moved());
    store.Clear();  // already empty: nothing changes
    EXPECT_FALSE(moved());

    store.Set("a", "1");
    EXPECT_TRUE(store.IsDirty());
    ASSERT_TRUE(store.Save(path_, ""));
    EXPECT_FALSE(store.IsDirty());
    store.Set("b", "2");
    EXPECT_TRUE(store.IsDirty());
}

TEST_F(PasswordStoreTest, EnumerateMayCallBackIntoTheStore) {
    CPasswordStore store;
    store.Set("b", "2");
    store.Set("a", "1");
    std::vector<std::string> seen;
    store.Enumerate([&](const std::string& key, const std::string&) {
        std::string pw;
        store.Get(key, pw);
        store.Set(key + "-copy", pw);
        seen.push_back(key);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Contents(store).size(), 4u);
}

TEST_F(PasswordStoreTest, EmptyStoreFileIsFortyBytes) {
    CPasswordStore store;
    ASSERT_TRUE(store.Save(path_, ""));
    const std::string file = ReadAll(path_);
    ASSERT_EQ(file.size(), 40u);
    const std::string plain = Decipher(file);
    EXPECT_EQ(plain.substr(0, 13), "OK \r\nTIME = \"");
    EXPECT_EQ(plain.substr(32), "\" \r\n    ");

    EXPECT_EQ(Decipher(store.FormatFile("", FixedTime())),
              "OK \r\nTIME = \"03/05/2024 07:08:09\" \r\n    ");
}

TEST_F(PasswordStoreTest, FileLayoutHasOneScrambledLinePerPasswordInKeyOrder) {
    CPasswordStore store;
    store.Set("http://b.example", "second");
    store.Set("HTTP://A.example", "first");
    const std::string plain = Decipher(store.FormatFile("", FixedTime()));
    ASSERT_EQ(plain.size() % 8, 0u);

    const std::string head = "OK \r\nTIME = \"03/05/2024 07:08:09\" \r\n";
    ASSERT_EQ(plain.substr(0, head.size()), head);
    std::string rest = plain.substr(head.size());
    const std::pair<std::string, std::string> expected[] = {{"http://a.example", "first"},
                                                            {"http://b.example", "second"}};
    for (const auto& [key, password] : expected) {
        const std::string prefix = "rs=\"" + key + "\" ps=\"";
        ASSERT_EQ(rest.substr(0, prefix.size()), prefix);
        const std::size_t close = rest.find("\"\r\n", prefix.size());
        ASSERT_NE(close, std::string::npos);
        const std::string ps = rest.substr(prefix.size(), close - prefix.size());
        EXPECT_EQ(Unscramble(ps), password);
        rest.erase(0, close + 3);
    }
    EXPECT_LT(rest.size(), 8u);
    EXPECT_EQ(rest, std::string(rest.size(), ' '));
}

TEST_F(PasswordStoreTest, SaveAndLoadRoundTrip) {
    CPasswordStore store;
    const std::map<std::string, std::string> passwords = {
        {"ftp://anna@files.example", "s3cret with \"quotes\" and blanks"},
        {"http://proxy.example:8080", ""},
        {"https://bob@www.example", std::string(1000, 'x')},
        {"socks5://\xc3\xa9t\xc3\xa9", "\xc3\xbc\x01\x7f\xff"},
        {std::string("http://zero\0byte", 16), "x"},  // a key is written whole, zero included
    };
    for (const auto& [k, p] : passwords) {
        store.Set(k, p);
    }
    ASSERT_TRUE(store.Save(path_, ""));
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);

    CPasswordStore loaded;
    bool wrongKey = true;
    ASSERT_TRUE(loaded.Load(path_, "", wrongKey));
    EXPECT_FALSE(wrongKey);
    EXPECT_EQ(Contents(loaded), passwords);
}

TEST_F(PasswordStoreTest, PassphraseChangesTheKeyAndAWrongOneIsReported) {
    CPasswordStore store;
    store.Set("ftp://host", "pw");
    ASSERT_TRUE(store.Save(path_, "my passphrase"));

    CPasswordStore loaded;
    bool wrongKey = false;
    EXPECT_TRUE(loaded.Load(path_, "my passphrase", wrongKey));
    EXPECT_FALSE(wrongKey);
    EXPECT_EQ(Contents(loaded).at("ftp://host"), "pw");

    EXPECT_FALSE(loaded.IsDirty()) << "it holds what the file holds";

    EXPECT_FALSE(loaded.Load(path_, "", wrongKey));
    EXPECT_TRUE(wrongKey);
    EXPECT_TRUE(Contents(loaded).empty());
    // Nothing to save: the exit save must not write an empty store over the foreign file.
    EXPECT_FALSE(loaded.IsDirty());
    loaded.Set("ftp://other", "new");
    EXPECT_TRUE(loaded.IsDirty());

    // Key byte k is XORed with passphrase byte k mod n rotated left by (k div n) mod 8.
    const std::string base = PasswordFileCipherKey("");
    const std::string keyed = PasswordFileCipherKey(std::string("\x01\x02\x80", 3));
    auto mixed = [&](std::size_t k) { return static_cast<std::uint8_t>(base[k] ^ keyed[k]); };
    EXPECT_EQ(mixed(0), 0x01);
    EXPECT_EQ(mixed(2), 0x80);
    EXPECT_EQ(mixed(3), 0x02);
    EXPECT_EQ(mixed(5), 0x01);
    EXPECT_EQ(mixed(21), 0x80);  // 21 div 3 = 7: rotated by 7
    EXPECT_EQ(mixed(22), 0x01);
    EXPECT_EQ(mixed(23), 0x40);
    EXPECT_EQ(mixed(24), 0x01);  // 24 div 3 = 8: no rotation
}

TEST_F(PasswordStoreTest, UnusableFilesLeaveTheStoreEmpty) {
    const std::string valid = [&] {
        CPasswordStore s;
        s.Set("k", "v");
        return s.FormatFile("", FixedTime());
    }();
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
    };
    const Case cases[] = {
        {"missing", [](const std::string&) {}},
        {"empty", [](const std::string& p) { WriteAll(p, ""); }},
        {"seven bytes", [](const std::string& p) { WriteAll(p, "1234567"); }},
        {"one byte too many", [&](const std::string& p) { WriteAll(p, valid + "x"); }},
        {"truncated",
         [&](const std::string& p) { WriteAll(p, valid.substr(0, valid.size() - 3)); }},
        {"folder", [](const std::string& p) { fs::create_directory(p); }},
        {"too large",
         [](const std::string& p) {
             WriteAll(p, "");
             fs::resize_file(p, kMaxPasswordFileBytes + 8);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path_);
        c.make(path_);
        CPasswordStore store;
        store.Set("old", "entry");
        const std::uint32_t before = store.GetStamp();
        bool wrongKey = true;
        EXPECT_FALSE(store.Load(path_, "", wrongKey));
        EXPECT_FALSE(wrongKey);
        EXPECT_TRUE(Contents(store).empty());
        EXPECT_GT(store.GetStamp(), before);
    }
}

TEST_F(PasswordStoreTest, LinesAreReadAsNameValuePairs) {
    const std::string plain =
        "OK \r\n"
        "TIME = \"01/02/2003 04:05:06\" rs=\"skipped\" ps=\"x\"\r\n" +
        ("RS = 'Http://Single' Ps=\"" + Scramble("one") + "\" extra=1\r\n") +
        ("rs=\"only-rs\"\r\n") + ("ps=\"" + Scramble("orphan") + "\"\r\n") +
        ("rs=\"\" ps=\"" + Scramble("empty key") + "\"\r\n") + "garbage \x01\x02 line\n" +
        ("rs=unquoted ps=" + Scramble("two"));  // the last line has no line end
    CPasswordStore store;
    bool wrongKey = true;
    ASSERT_TRUE(store.LoadFromBytes(Encipher(plain), "", wrongKey));
    EXPECT_FALSE(wrongKey);
    EXPECT_EQ(Contents(store),
              (std::map<std::string, std::string>{{"http://single", "one"}, {"unquoted", "two"}}));
}

TEST_F(PasswordStoreTest, FirstByteDecidesWhetherTheKeyFits) {
    for (const char* start : {"OK \r\n", "K", "\r\n", "\n"}) {
        CPasswordStore store;
        bool wrongKey = true;
        EXPECT_TRUE(
            store.LoadFromBytes(Encipher(std::string(start) + "rs=a ps=b\r\n"), "", wrongKey))
            << start;
        EXPECT_FALSE(wrongKey);
    }
    CPasswordStore store;
    bool wrongKey = false;
    EXPECT_FALSE(store.LoadFromBytes(Encipher(" OK \r\nrs=a ps=b\r\n"), "", wrongKey));
    EXPECT_TRUE(wrongKey);
    EXPECT_TRUE(Contents(store).empty());
}

// Writes fail beyond a tiny size limit, which stops a save halfway even for root.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lower = old_;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit old_{};
    sighandler_t old_handler_;
};

TEST_F(PasswordStoreTest, FailedSaveLeavesTheOldFileIntact) {
    CPasswordStore store;
    store.Set("ftp://host", "old password");
    ASSERT_TRUE(store.Save(path_, ""));
    const std::string before = ReadAll(path_);

    for (int i = 0; i < 200; ++i) {
        store.Set("http://site" + std::to_string(i), "new password");
    }
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(store.Save(path_, ""));
    }
    EXPECT_TRUE(store.IsDirty());
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
    EXPECT_FALSE(store.Save(dir_ / "missing/Passwords.bf", ""));

    CPasswordStore loaded;
    bool wrongKey = false;
    ASSERT_TRUE(loaded.Load(path_, "", wrongKey));
    EXPECT_EQ(Contents(loaded),
              (std::map<std::string, std::string>{{"ftp://host", "old password"}}));
}

TEST_F(PasswordStoreTest, ConcurrentSetAndGet) {
    CPasswordStore store;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            store.Set("key" + std::to_string(i % 50), "v");
        }
    });
    std::string pw;
    for (int i = 0; i < 2000; ++i) {
        if (store.Get("key" + std::to_string(i % 50), pw)) {
            EXPECT_EQ(pw, "v");
        }
    }
    writer.join();
    EXPECT_EQ(Contents(store).size(), 50u);
}

// --- Scrambling --------------------------------------------------------------------------------

// The number of bytes a scrambled text encodes: one per character, or one per escape.
std::size_t EncodedBytes(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        i += UnsubstituteByte(static_cast<std::uint8_t>(text[i])) == '\\' ? 3 : 1;
    }
    return count;
}

TEST(PasswordScrambleTest, TextEncodesAtLeast28BytesInLettersDigitsAndEscapes) {
    for (const std::size_t n : {0u, 1u, 26u, 27u, 28u, 200u}) {
        const std::string text = Scramble(std::string(n, 'p'));
        EXPECT_EQ(EncodedBytes(text), std::max<std::size_t>(n, 27) + 1) << n;
        for (const char c : text) {
            const auto plain = UnsubstituteByte(static_cast<std::uint8_t>(c));
            EXPECT_TRUE(std::isalnum(plain) || plain == '\\') << n << ": " << c;
        }
    }
}

TEST(PasswordScrambleTest, UnscrambleReturnsAnyPasswordWithoutZeroBytes) {
    std::vector<std::string> passwords = {
        "", "a", "secret", "pass word\t\"'\\", std::string(27, 'z'), std::string(300, '%')};
    std::string everyByte;
    for (int b = 1; b < 256; ++b) {
        everyByte += static_cast<char>(b);
    }
    passwords.push_back(everyByte);
    std::mt19937 random(42);
    for (int i = 0; i < 200; ++i) {
        std::string p(random() % 60, '\0');
        for (char& c : p) {
            c = static_cast<char>(1 + random() % 255);
        }
        passwords.push_back(p);
    }
    for (const auto& p : passwords) {
        EXPECT_EQ(Unscramble(Scramble(p)), p);
    }
}

TEST(PasswordScrambleTest, OddTextsUnscrambleSafely) {
    EXPECT_EQ(Unscramble(""), "");
    const char escape = static_cast<char>(SubstituteByte('\\'));
    const std::string text = Scramble("password");
    // An escape cut short at the end empties the result.
    EXPECT_EQ(Unscramble(text + escape), "");
    EXPECT_EQ(Unscramble(text + escape + "4"), "");
    // Non-hex characters in an escape count as 0, so they decode like "\00".
    const std::string zero(1, static_cast<char>(SubstituteByte('0')));
    EXPECT_EQ(Unscramble(std::string(1, escape) + "!!"), Unscramble(escape + zero + zero));
}

TEST(PasswordScrambleTest, FixedValuesKeepTheirForm) {
    // Files already written depend on these values: a change here makes them unreadable.
    EXPECT_EQ(Scramble("secret"), R"(\7D9\16qE\07rHVHqYDw\7rS\1Et\60\05bvM\2M\2E\27\2Tt)");
    int moved = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        EXPECT_EQ(UnsubstituteByte(SubstituteByte(byte)), byte);
        if (SubstituteByte(byte) == byte) continue;
        ++moved;
        EXPECT_TRUE(std::isprint(b) && std::isprint(SubstituteByte(byte))) << b;
    }
    EXPECT_EQ(moved, 17);
}

}  // namespace
}  // namespace tellweir
