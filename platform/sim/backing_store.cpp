// The bytes behind a simulated disk: a sparse image file on the host, or sparse memory for
// tests that want terabyte disks without terabytes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/sim/state.h"

namespace sim::detail {

std::size_t BackingStore::Read(std::uint64_t offset, void* out, std::size_t bytes) {
  if (offset >= size_) return 0;
  const std::uint64_t room = size_ - offset;
  if (bytes > room) bytes = static_cast<std::size_t>(room);
  return bytes == 0 ? 0 : ReadInside(offset, out, bytes);
}

std::size_t BackingStore::Write(std::uint64_t offset, const void* in, std::size_t bytes) {
  if (offset >= size_) return 0;
  const std::uint64_t room = size_ - offset;
  if (bytes > room) bytes = static_cast<std::size_t>(room);
  const std::size_t put = bytes == 0 ? 0 : WriteInside(offset, in, bytes);
  written_ += put;
  return put;
}

namespace {

// Chunks are allocated on their first write; a chunk never written reads as zeros.
class MemoryStore : public BackingStore {
 public:
  explicit MemoryStore(std::uint64_t size) : BackingStore(size) {}

 protected:
  std::size_t ReadInside(std::uint64_t offset, void* out, std::size_t bytes) override {
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < bytes) {
      const std::uint64_t at = offset + done;
      const std::size_t within = static_cast<std::size_t>(at % kChunk);
      const std::size_t step = std::min<std::size_t>(bytes - done, kChunk - within);
      auto chunk = chunks_.find(at / kChunk);
      if (chunk == chunks_.end()) {
        std::memset(dst + done, 0, step);
      } else {
        std::memcpy(dst + done, chunk->second.data() + within, step);
      }
      done += step;
    }
    return done;
  }

  std::size_t WriteInside(std::uint64_t offset, const void* in, std::size_t bytes) override {
    const auto* src = static_cast<const std::uint8_t*>(in);
    std::size_t done = 0;
    while (done < bytes) {
      const std::uint64_t at = offset + done;
      const std::size_t within = static_cast<std::size_t>(at % kChunk);
      const std::size_t step = std::min<std::size_t>(bytes - done, kChunk - within);
      std::vector<std::uint8_t>& chunk = chunks_[at / kChunk];
      if (chunk.empty()) chunk.assign(kChunk, 0);
      std::memcpy(chunk.data() + within, src + done, step);
      done += step;
    }
    return done;
  }

 private:
  static constexpr std::size_t kChunk = kMiB;
  std::map<std::uint64_t, std::vector<std::uint8_t>> chunks_;
};

bool SeekFile(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The file stays open for the life of the machine. Every write is flushed to the host at once,
// so a program killed in the middle of a wipe leaves exactly the writes it had made, as a
// power loss leaves them on a real disk.
class ImageStore : public BackingStore {
 public:
  ImageStore(std::FILE* file, std::uint64_t size) : BackingStore(size), file_(file) {}
  ~ImageStore() override { std::fclose(file_); }

 protected:
  std::size_t ReadInside(std::uint64_t offset, void* out, std::size_t bytes) override {
    if (!SeekFile(file_, offset)) return 0;
    const std::size_t got = std::fread(out, 1, bytes, file_);
    // An image cut short behind our back reads as zeros past its end, as a sparse file does.
    if (got < bytes && !std::ferror(file_)) {
      std::memset(static_cast<std::uint8_t*>(out) + got, 0, bytes - got);
      return bytes;
    }
    std::clearerr(file_);
    return got;
  }

  std::size_t WriteInside(std::uint64_t offset, const void* in, std::size_t bytes) override {
    if (!SeekFile(file_, offset)) return 0;
    const std::size_t put = std::fwrite(in, 1, bytes, file_);
    if (std::fflush(file_) != 0) {
      std::clearerr(file_);
      return 0;
    }
    return put;
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<BackingStore> MakeMemoryStore(std::uint64_t size) {
  return std::make_unique<MemoryStore>(size);
}

std::unique_ptr<BackingStore> OpenImageStore(const std::string& path, std::uint64_t size,
                                             bool* created, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file(path);
  *created = !fs::exists(file, ec);
  if (*created) {
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    std::FILE* empty = std::fopen(path.c_str(), "wb");
    if (empty == nullptr) {
      *error = "cannot create the image file " + path;
      return nullptr;
    }
    std::fclose(empty);
  }
  // Growing by resize writes nothing, so the host keeps the image sparse.
  const std::uintmax_t have = fs::file_size(file, ec);
  if (ec || have < size) {
    fs::resize_file(file, size, ec);
    if (ec) {
      *error = "cannot size the image file " + path + " to " + std::to_string(size) +
               " bytes: " + ec.message();
      return nullptr;
    }
  }
  std::FILE* handle = std::fopen(path.c_str(), "r+b");
  if (handle == nullptr) {
    *error = "cannot open the image file " + path + " for reading and writing";
    return nullptr;
  }
  return std::make_unique<ImageStore>(handle, size);
}

}  // namespace sim::detail
