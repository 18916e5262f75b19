// Little-endian binary archive of the data file: integers, doubles and
// length-prefixed Shift-JIS texts. Neither side throws: a failed read or write
// sets a sticky error that callers check with ok().
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

constexpr uint64_t kPointBytes = 36;
constexpr uint64_t kMinRecordBytes = 93;  // 88 fixed bytes, empty remark, point count

class ArchiveReader {
 public:
  // Reads from memory that must outlive the reader.
  ArchiveReader(const void* data, size_t size);
  // Reads from an open file descriptor (not owned) from its current offset.
  explicit ArchiveReader(int fd);
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Reads n raw bytes; false (and the archive failed) when the input ends first.
  bool ReadBytes(void* dst, size_t n);

  int32_t ReadI32();
  uint16_t ReadU16();
  uint8_t ReadU8();
  double ReadF64();
  // Length-prefixed text (1, 3 or 7 byte prefix; the FF FFFE prefix announces
  // UTF-16LE code units that are converted to CP932).
  std::string ReadText();

  bool ok() const { return ok_; }
  bool eof() const { return eof_; }  // the failure was running past the end
  void Fail() { ok_ = false; }
  // Bytes not yet read (what the file still holds).
  uint64_t Remaining() const;
  // True when `count` items of `itemBytes` each can still be in the input;
  // otherwise fails the archive. Guards every count before it is trusted.
  bool CanHold(uint64_t count, uint64_t itemBytes);

  // Hands `count` fixed-size items (at most kMaxItemBytes each) to
  // `decode(const unsigned char* block, size_t items)` in contiguous blocks
  // straight from the buffer, without copying them first. False (and the
  // archive failed) when the input ends before all of them.
  static constexpr size_t kMaxItemBytes = 4096;
  template <typename Decode>
  bool ReadItems(size_t count, size_t itemBytes, Decode&& decode) {
    while (count > 0) {
      if (!Ensure(itemBytes)) return false;
      const size_t k = std::min(count, static_cast<size_t>(end_ - cur_) / itemBytes);
      decode(cur_, k);
      cur_ += k * itemBytes;
      count -= k;
    }
    return true;
  }

 private:
  bool Refill();
  // At least n (1 to kMaxItemBytes) bytes in the buffer, or the archive fails.
  bool Ensure(size_t n);

  int fd_ = -1;
  const unsigned char* cur_ = nullptr;
  const unsigned char* end_ = nullptr;
  uint64_t streamLeft_ = 0;  // bytes still in the file beyond the buffer
  bool ok_ = true;
  bool eof_ = false;
  std::string buffer_;
};

class ArchiveWriter {
 public:
  // Appends to a string (tests, in-memory images).
  explicit ArchiveWriter(std::string* out);
  // Writes to an open file descriptor (not owned) through a buffer.
  explicit ArchiveWriter(int fd);
  ~ArchiveWriter();
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  void WriteI32(int32_t v);
  void WriteU16(uint16_t v);
  void WriteU8(uint8_t v);
  void WriteF64(double v);
  void WriteText(std::string_view cp932);
  void WriteBytes(const void* src, size_t n);

  // Writes out the buffer; false when any write so far failed.
  bool Flush();
  bool ok() const { return ok_; }
  int error() const { return errno_; }  // errno of the first failed write

 private:
  std::string* str_ = nullptr;
  int fd_ = -1;
  std::string buf_;
  uint64_t written_ = 0;  // bytes handed to the file
  uint64_t kicked_ = 0;   // bytes whose writeback was started
  bool ok_ = true;
  int errno_ = 0;
};

}  // namespace qv
