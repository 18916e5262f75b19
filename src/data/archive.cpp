#include "data/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "core/safe_file.h"
#include "data/codec.h"

static_assert(std::endian::native == std::endian::little,
              "the archive assumes a little-endian host");

namespace qv {
namespace {
constexpr size_t kBufferSize = 1024 * 1024;
constexpr size_t kDirectRead = 16 * 1024;
constexpr uint64_t kWritebackStep = 4 * 1024 * 1024;
}  // namespace

ArchiveReader::ArchiveReader(const void* data, size_t size)
    : cur_(static_cast<const unsigned char*>(data)), end_(cur_ + size) {}

ArchiveReader::ArchiveReader(int fd) : fd_(fd) {
  struct stat st {};
  off_t pos = lseek(fd, 0, SEEK_CUR);
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && pos >= 0 && st.st_size >= pos) {
    streamLeft_ = static_cast<uint64_t>(st.st_size - pos);
  } else {
    ok_ = false;  // only regular files are read
  }
  buffer_.resize(kBufferSize);
}

uint64_t ArchiveReader::Remaining() const {
  return static_cast<uint64_t>(end_ - cur_) + streamLeft_;
}

bool ArchiveReader::CanHold(uint64_t count, uint64_t itemBytes) {
  if (!ok_) return false;
  if (itemBytes != 0 && count > Remaining() / itemBytes) {
    ok_ = false;
    eof_ = true;
    return false;
  }
  return true;
}

bool ArchiveReader::Refill() {
  if (fd_ < 0 || streamLeft_ == 0) return false;
  size_t keep = static_cast<size_t>(end_ - cur_);
  if (keep > 0) std::memmove(buffer_.data(), cur_, keep);
  size_t want = std::min<uint64_t>(buffer_.size() - keep, streamLeft_);
  size_t got = 0;
  while (got < want) {
    ssize_t n = ::read(fd_, buffer_.data() + keep + got, want - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      streamLeft_ = 0;  // the file shrank or failed: treat as its end
      break;
    }
    got += static_cast<size_t>(n);
  }
  if (got < want)
    streamLeft_ = 0;
  else
    streamLeft_ -= got;
  cur_ = reinterpret_cast<const unsigned char*>(buffer_.data());
  end_ = cur_ + keep + got;
  return got > 0;
}

bool ArchiveReader::Ensure(size_t n) {
  if (!ok_) return false;
  while (static_cast<size_t>(end_ - cur_) < n) {
    if (n == 0 || n > kMaxItemBytes || !Refill()) {
      ok_ = false;
      eof_ = true;
      return false;
    }
  }
  return true;
}

bool ArchiveReader::ReadBytes(void* dst, size_t n) {
  if (!ok_) return false;
  auto* out = static_cast<unsigned char*>(dst);
  while (n > 0) {
    size_t avail = static_cast<size_t>(end_ - cur_);
    if (avail == 0) {
      // Large blocks (the point series) go from the file straight to their
      // place, without passing through the buffer.
      if (fd_ >= 0 && n >= kDirectRead && n <= streamLeft_) {
        while (n > 0) {
          ssize_t got = ::read(fd_, out, n);
          if (got < 0 && errno == EINTR) continue;
          if (got <= 0) {
            streamLeft_ = 0;  // the file shrank or failed: treat as its end
            ok_ = false;
            eof_ = true;
            return false;
          }
          out += got;
          n -= static_cast<size_t>(got);
          streamLeft_ -= static_cast<uint64_t>(got);
        }
        return true;
      }
      if (!Refill()) {
        ok_ = false;
        eof_ = true;
        return false;
      }
      continue;
    }
    size_t take = std::min(avail, n);
    std::memcpy(out, cur_, take);
    cur_ += take;
    out += take;
    n -= take;
  }
  return true;
}

int32_t ArchiveReader::ReadI32() {
  int32_t v = 0;
  if (end_ - cur_ >= 4) {
    std::memcpy(&v, cur_, 4);
    cur_ += 4;
    return ok_ ? v : 0;
  }
  return ReadBytes(&v, 4) ? v : 0;
}

uint16_t ArchiveReader::ReadU16() {
  uint16_t v = 0;
  return ReadBytes(&v, 2) ? v : 0;
}

uint8_t ArchiveReader::ReadU8() {
  uint8_t v = 0;
  return ReadBytes(&v, 1) ? v : 0;
}

double ArchiveReader::ReadF64() {
  double v = 0.0;
  if (end_ - cur_ >= 8) {
    std::memcpy(&v, cur_, 8);
    cur_ += 8;
    return ok_ ? v : 0.0;
  }
  return ReadBytes(&v, 8) ? v : 0.0;
}

namespace {
// Reads a length prefix: one byte below 255, FF + 16 bits below FFFE,
// FF FFFF + 32 bits. Returns false on the wide-text marker FF FFFE.
bool ReadLength(ArchiveReader& ar, uint64_t& len, bool& wide) {
  wide = false;
  uint8_t b = ar.ReadU8();
  if (b < 0xFF) {
    len = b;
    return true;
  }
  uint16_t w = ar.ReadU16();
  if (w == 0xFFFE) {
    wide = true;
    return false;
  }
  if (w < 0xFFFF) {
    len = w;
    return true;
  }
  len = static_cast<uint32_t>(ar.ReadI32());
  return true;
}
}  // namespace

std::string ArchiveReader::ReadText() {
  uint64_t len = 0;
  bool wide = false;
  if (!ReadLength(*this, len, wide)) {
    if (!wide || !ok_) return {};
    // Wide form: a second prefix counts UTF-16 code units.
    bool wideAgain = false;
    if (!ReadLength(*this, len, wideAgain)) {
      ok_ = false;
      return {};
    }
    if (!CanHold(len, 2)) return {};
    std::u16string units(static_cast<size_t>(len), u'\0');
    if (!ReadBytes(units.data(), static_cast<size_t>(len) * 2)) return {};
    return Utf16ToCp932(units);
  }
  if (!ok_ || !CanHold(len, 1)) return {};
  std::string s(static_cast<size_t>(len), '\0');
  if (!ReadBytes(s.data(), s.size())) return {};
  return s;
}

ArchiveWriter::ArchiveWriter(std::string* out) : str_(out) {}

ArchiveWriter::ArchiveWriter(int fd) : fd_(fd) {
  buf_.reserve(kBufferSize);
}

ArchiveWriter::~ArchiveWriter() {
  Flush();
}

void ArchiveWriter::WriteBytes(const void* src, size_t n) {
  if (str_) {
    str_->append(static_cast<const char*>(src), n);
    return;
  }
  if (!ok_) return;
  buf_.append(static_cast<const char*>(src), n);
  if (buf_.size() >= kBufferSize) Flush();
}

void ArchiveWriter::WriteI32(int32_t v) {
  WriteBytes(&v, 4);
}
void ArchiveWriter::WriteU16(uint16_t v) {
  WriteBytes(&v, 2);
}
void ArchiveWriter::WriteU8(uint8_t v) {
  WriteBytes(&v, 1);
}
void ArchiveWriter::WriteF64(double v) {
  WriteBytes(&v, 8);
}

void ArchiveWriter::WriteText(std::string_view s) {
  uint64_t len = s.size();
  if (len < 0xFF) {
    WriteU8(static_cast<uint8_t>(len));
  } else if (len < 0xFFFE) {
    WriteU8(0xFF);
    WriteU16(static_cast<uint16_t>(len));
  } else {
    WriteU8(0xFF);
    WriteU16(0xFFFF);
    WriteI32(static_cast<int32_t>(static_cast<uint32_t>(len)));
  }
  WriteBytes(s.data(), s.size());
}

bool ArchiveWriter::Flush() {
  if (str_ || fd_ < 0) return ok_;
  errno = 0;
  if (ok_ && !buf_.empty() && !WriteFully(fd_, buf_.data(), buf_.size())) {
    ok_ = false;
    errno_ = errno ? errno : EIO;
  }
  written_ += buf_.size();
  buf_.clear();
  // Large files: the kernel starts writing what is done while the rest is
  // still being encoded, so a closing fsync waits only for the tail. A hint;
  // its failure changes nothing.
  if (ok_ && written_ - kicked_ >= kWritebackStep) {
    ::sync_file_range(fd_, static_cast<off_t>(kicked_), static_cast<off_t>(written_ - kicked_),
                      SYNC_FILE_RANGE_WRITE);
    kicked_ = written_;
  }
  return ok_;
}

}  // namespace qv
