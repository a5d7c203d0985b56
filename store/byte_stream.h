// Byte sources and sinks: what the XML parser reads from and the XML writer writes to, with
// in-memory and stdio implementations.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace tellweir {

class IByteSource {
  public:
    virtual ~IByteSource() = default;
    // Copies up to `count` bytes into `buffer`; returns how many, 0 at the end or on an error.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
};

class IByteSink {
  public:
    virtual ~IByteSink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

// Reads a text the caller keeps alive for as long as the source is used.
class CStringSource : public IByteSource {
  public:
    explicit CStringSource(std::string_view text) : text_(text) {}
    std::size_t Read(void* buffer, std::size_t count) override;

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Reads an open stdio stream; the caller opens and closes it.
class CFileSource : public IByteSource {
  public:
    explicit CFileSource(std::FILE* file) : file_(file) {}
    std::size_t Read(void* buffer, std::size_t count) override;

  private:
    std::FILE* file_;
};

// Collects everything written into one string.
class CStringSink : public IByteSink {
  public:
    void Write(std::string_view bytes) override { text_.append(bytes); }
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

// Writes to an open stdio stream the caller opens and closes; Good() tells whether every write
// went through, since writers do not report sink errors themselves.
class CFileSink : public IByteSink {
  public:
    explicit CFileSink(std::FILE* file) : file_(file) {}
    void Write(std::string_view bytes) override;
    bool Good() const { return good_; }

  private:
    std::FILE* file_;
    bool good_ = true;
};

}  // namespace tellweir
