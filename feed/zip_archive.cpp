#include "feed/zip_archive.h"

#include <fmt/format.h>
#include <zip.h>

namespace crv {

namespace {

// The file type bits of a Unix mode as zip archives store it.
constexpr zip_uint32_t kUnixFileTypeBits = 0170000;
constexpr zip_uint32_t kUnixSymbolicLink = 0120000;

class LibzipError {
 public:
  LibzipError() { zip_error_init(&error_); }
  ~LibzipError() { zip_error_fini(&error_); }
  LibzipError(const LibzipError&) = delete;
  LibzipError& operator=(const LibzipError&) = delete;

  zip_error_t* get() { return &error_; }
  std::string text() { return zip_error_strerror(&error_); }

 private:
  zip_error_t error_;
};

struct FileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

void ZipArchive::Discard::operator()(zip* archive) const { zip_discard(archive); }

ZipArchive::ZipArchive(std::unique_ptr<zip, Discard> archive, std::unique_ptr<std::string> bytes)
    : bytes_(std::move(bytes)), archive_(std::move(archive)) {}

ZipArchive::~ZipArchive() { archive_.reset(); }

ZipArchive ZipArchive::open(const std::filesystem::path& path) {
  int code = 0;
  // libzip takes file names in UTF-8 on every system.
  const std::u8string name = path.u8string();
  std::unique_ptr<zip, Discard> archive(
      zip_open(reinterpret_cast<const char*>(name.c_str()), ZIP_RDONLY | ZIP_CHECKCONS, &code));
  if (!archive) {
    LibzipError error;
    zip_error_init_with_code(error.get(), code);
    throw ZipError(fmt::format("cannot open {}: {}", path.string(), error.text()));
  }
  return ZipArchive(std::move(archive), nullptr);
}

ZipArchive ZipArchive::openBytes(std::string_view bytes) {
  auto copy = std::make_unique<std::string>(bytes);
  LibzipError error;
  zip_source_t* source = zip_source_buffer_create(copy->data(), copy->size(), 0, error.get());
  if (source == nullptr) {
    throw ZipError(fmt::format("cannot read the archive: {}", error.text()));
  }
  std::unique_ptr<zip, Discard> archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, error.get()));
  if (!archive) {
    zip_source_free(source);
    throw ZipError(fmt::format("cannot open the archive: {}", error.text()));
  }
  return ZipArchive(std::move(archive), std::move(copy));
}

std::uint64_t ZipArchive::entryCount() const {
  const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
  return count < 0 ? 0 : static_cast<std::uint64_t>(count);
}

ZipEntryInfo ZipArchive::entry(std::uint64_t index) const {
  const char* name = zip_get_name(archive_.get(), index, ZIP_FL_ENC_GUESS);
  if (name == nullptr) {
    throw ZipError(fmt::format("entry {}: {}", index, zip_strerror(archive_.get())));
  }
  ZipEntryInfo info{name, false};
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive_.get(), index, 0, &system, &attributes) == 0 &&
      system == ZIP_OPSYS_UNIX) {
    info.isLink = ((attributes >> 16) & kUnixFileTypeBits) == kUnixSymbolicLink;
  }
  return info;
}

std::string ZipArchive::readAsText(std::uint64_t index, std::uint64_t maximumBytes) const {
  std::unique_ptr<zip_file_t, FileClose> file(zip_fopen_index(archive_.get(), index, 0));
  if (!file) {
    throw ZipError(fmt::format("entry {}: {}", index, zip_strerror(archive_.get())));
  }
  std::string text;
  char buffer[65536];
  while (true) {
    const zip_int64_t read = zip_fread(file.get(), buffer, sizeof buffer);
    if (read < 0) {
      throw ZipError(fmt::format("entry {}: {}", index, zip_file_strerror(file.get())));
    }
    if (read == 0) {
      break;
    }
    if (text.size() + static_cast<std::uint64_t>(read) > maximumBytes) {
      throw ZipError(fmt::format("entry {} is longer than {} bytes", index, maximumBytes));
    }
    text.append(buffer, static_cast<std::size_t>(read));
  }
  return text;
}

}  // namespace crv
