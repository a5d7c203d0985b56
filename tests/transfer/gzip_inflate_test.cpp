// Unpacking gzip files: header fields, damaged and foreign files, sinks that stop or fail.
#include "transfer/gzip_inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellweir {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

// Compressible text that still needs several 64 KiB chunks.
std::string SampleText(std::size_t size) {
    std::string text;
    std::uint32_t state = 12345;
    static const char* const kWords[] = {"alpha ", "beta ", "gamma\n", "delta ", "epsilon "};
    while (text.size() < size) {
        state = state * 1103515245u + 12345u;
        text += kWords[(state >> 16) % 5];
    }
    text.resize(size);
    return text;
}

// A gzip file as gzwrite makes it: no name, no extra field.
void WriteGzip(const std::string& path, const std::string& data) {
    gzFile out = gzopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(gzwrite(out, data.data(), static_cast<unsigned>(data.size())),
              static_cast<int>(data.size()));
    ASSERT_EQ(gzclose(out), Z_OK);
}

// A gzip file with a stored name, modification time and an extra field before the name.
std::string GzipWithHeader(const std::string& data, const char* name, std::uint32_t time) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY), Z_OK);
    // One subfield: id "AB", length 2 (little-endian), data "xy"; the NUL is part of it.
    std::string extraBytes("AB\x02\x00xy", 6);
    gz_header header{};
    header.time = time;
    header.name = reinterpret_cast<Bytef*>(const_cast<char*>(name));
    header.extra = reinterpret_cast<Bytef*>(extraBytes.data());
    header.extra_len = static_cast<uInt>(extraBytes.size());
    EXPECT_EQ(deflateSetHeader(&z, &header), Z_OK);
    std::string out(deflateBound(&z, data.size()) + 1024, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

class RecordingSink final : public IInflateSink {
  public:
    bool Open(std::string_view name, std::uint32_t time, std::uint32_t size) override {
        opened = true;
        storedName = name;
        storedTime = time;
        storedSize = size;
        return openResult;
    }
    std::size_t Write(const void* data, std::size_t size) override {
        ++writes;
        const std::size_t take = std::min(size, acceptPerWrite);
        output.append(static_cast<const char*>(data), take);
        return take;
    }
    bool StopRequested() override { return stopAfterWrites >= 0 && writes >= stopAfterWrites; }

    bool openResult = true;
    std::size_t acceptPerWrite = SIZE_MAX;
    int stopAfterWrites = -1;
    bool opened = false;
    std::string storedName;
    std::uint32_t storedTime = 0;
    std::uint32_t storedSize = 0;
    int writes = 0;
    std::string output;
};

class GzipInflateTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(GzipInflateTest, InflatesAndReportsTheHeader) {
    const std::string data = SampleText(300000);
    WriteAll(dir_ / "a.gz", GzipWithHeader(data, "page.html", 1078322709));
    RecordingSink sink;
    EXPECT_EQ(InflateGzipFile(dir_ / "a.gz", sink), result::kOk);
    EXPECT_EQ(sink.storedName, "page.html");
    EXPECT_EQ(sink.storedTime, 1078322709u);
    EXPECT_EQ(sink.storedSize, data.size());
    EXPECT_EQ(sink.output, data);
}

TEST_F(GzipInflateTest, FileSinkReplacesOldOutput) {
    const std::string data = SampleText(100);
    WriteGzip(dir_ / "a.gz", data);
    WriteAll(dir_ / "a~.xed", SampleText(5000));
    {
        CFileInflateSink sink(dir_ / "a~.xed");
        EXPECT_EQ(InflateGzipFile(dir_ / "a.gz", sink), result::kOk);
    }
    EXPECT_EQ(ReadAll(dir_ / "a~.xed"), data);
}

// The file sink buffers 64 KiB: a full disk shows in a write or only when the rest is written at
// the end; either way inflating fails with the disk-full result.
TEST_F(GzipInflateTest, FileSinkOnAFullDiskFails) {
    const std::string data = SampleText(300000);
    WriteGzip(dir_ / "big.gz", data);
    WriteGzip(dir_ / "small.gz", data.substr(0, 1000));
    for (const char* source : {"big.gz", "small.gz"}) {
        SCOPED_TRACE(source);
        SimulateDiskFullAfter(100);
        TransferResult inflated;
        {
            CFileInflateSink sink(dir_ / "out");
            inflated = InflateGzipFile(dir_ / source, sink);
        }
        SimulateDiskFullAfter(-1);
        EXPECT_EQ(inflated, result::kNoDiskSpace);
    }
}

TEST_F(GzipInflateTest, FileSinkNeverWritesThroughALink) {
    WriteGzip(dir_ / "a.gz", "inflated");
    WriteAll(dir_ / "elsewhere", "kept");
    fs::create_symlink(dir_ / "elsewhere", dir_ / "out");
    CFileInflateSink sink(dir_ / "out");
    EXPECT_EQ(InflateGzipFile(dir_ / "a.gz", sink), result::kInvalidParameter);
    EXPECT_EQ(ReadAll(dir_ / "elsewhere"), "kept");
}

TEST_F(GzipInflateTest, ForeignOrDamagedHeadersGive111WithoutOutput) {
    std::string good;
    WriteGzip(dir_ / "good.gz", "x");
    good = ReadAll(dir_ / "good.gz");
    auto patched = [&good](std::size_t at, char value) {
        std::string copy = good;
        copy[at] = value;
        return copy;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"plain text", "Hello, this is not gzip at all."},
        {"short", good.substr(0, 9)},
        {"second magic byte", patched(1, '\x8C')},
        {"method", patched(2, 7)},
        {"flags", patched(3, 32)},
        {"name without end", good.substr(0, 10).replace(3, 1, "\x08") + "name-without-nul"},
        {"empty", ""},
    };
    for (const auto& [what, bytes] : cases) {
        WriteAll(dir_ / "bad.gz", bytes);
        {
            CFileInflateSink sink(dir_ / "out");
            EXPECT_EQ(InflateGzipFile(dir_ / "bad.gz", sink), 111) << what;
        }
        EXPECT_FALSE(fs::exists(dir_ / "out")) << what;
    }
    RecordingSink sink;
    EXPECT_EQ(InflateGzipFile(dir_ / "missing.gz", sink), 111);
    EXPECT_EQ(InflateGzipFile("", sink), result::kInvalidParameter);
    EXPECT_FALSE(sink.opened);
}

TEST_F(GzipInflateTest, CutOffFileKeepsWhatWasInflated) {
    const std::string data = SampleText(2000000);
    WriteGzip(dir_ / "full.gz", data);
    const std::string full = ReadAll(dir_ / "full.gz");
    for (std::size_t keep : {std::size_t{10}, full.size() / 2, full.size() - 4}) {
        WriteAll(dir_ / "cut.gz", full.substr(0, keep));
        RecordingSink sink;
        EXPECT_EQ(InflateGzipFile(dir_ / "cut.gz", sink), result::kOk) << keep;
        EXPECT_LE(sink.output.size(), data.size());
        EXPECT_EQ(sink.output, data.substr(0, sink.output.size())) << keep;
        if (keep == full.size() / 2) {
            EXPECT_GT(sink.output.size(), data.size() / 4);
        }
    }
}

TEST_F(GzipInflateTest, SinkEndsTheWork) {
    const std::string data = SampleText(500000);
    WriteGzip(dir_ / "a.gz", data);

    RecordingSink refuses;
    refuses.openResult = false;
    EXPECT_EQ(InflateGzipFile(dir_ / "a.gz", refuses), result::kInvalidParameter);
    EXPECT_EQ(refuses.writes, 0);

    // A cut output must never pass for the whole content.
    RecordingSink shortWrite;
    shortWrite.acceptPerWrite = 10;
    EXPECT_EQ(InflateGzipFile(dir_ / "a.gz", shortWrite), result::kNoDiskSpace);
    EXPECT_EQ(shortWrite.writes, 1);

    RecordingSink stopped;
    stopped.stopAfterWrites = 2;
    EXPECT_EQ(InflateGzipFile(dir_ / "a.gz", stopped), result::kOk);
    EXPECT_EQ(stopped.writes, 2);
    EXPECT_EQ(stopped.output, data.substr(0, stopped.output.size()));
}

}  // namespace
}  // namespace tellweir
