#include "aircraftdata/stream_decrypt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/data_file_key.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/support/temp_folder.h"
#include "tools/datatool/stream_encrypt.h"

namespace crv {
namespace {

using testing::LogCapture;
using testing::TempFolder;
using testing::readFile;
using testing::writeFile;

constexpr std::size_t kHeader = 24;
constexpr std::size_t kCipherChunk = 4113;

std::string patternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 131 + 7) % 251);
  }
  return bytes;
}

class StreamDecryptTest : public ::testing::Test {
 protected:
  std::filesystem::path encrypted() const { return folder_ / "data.enc"; }
  std::filesystem::path plain() const { return folder_ / "data.xml"; }

  void writeCipher(const std::string& bytes) { writeFile(encrypted(), bytes); }

  // Decrypting must fail, log the reason and leave no plain file behind.
  void expectFailureWithoutOutput(const std::string& expectedText) {
    LogCapture log;
    EXPECT_FALSE(gf_streamDecrypt(encrypted(), plain()));
    EXPECT_FALSE(std::filesystem::exists(plain()));
    EXPECT_NE(log.text().find("gf_streamDecrypt exception: " + expectedText), std::string::npos)
        << log.text();
  }

  TempFolder folder_;
};

// Empty, one byte, around and at the chunk size, several chunks.
TEST_F(StreamDecryptTest, DecryptsToTheSameBytes) {
  for (const std::size_t size : {0, 1, 4095, 4096, 4097, 8192, 3 * 4096 + 17}) {
    const std::string original = patternBytes(size);
    writeFile(folder_ / "original.bin", original);
    datatool::encryptFile(kDataFileKey, folder_ / "original.bin", encrypted());
    ASSERT_TRUE(gf_streamDecrypt(encrypted(), plain())) << size;
    EXPECT_EQ(readFile(plain()), original) << size;
  }
}

// Each damaged stream fails, and a stale plain file from an earlier run goes.
TEST_F(StreamDecryptTest, DamagedStreamsFailWithoutOutput) {
  const std::string cipher = datatool::encryptBytes(kDataFileKey, patternBytes(2 * 4096 + 100));
  std::vector<std::pair<std::string, std::string>> damaged;
  // A changed byte in the header, in the first chunk's tag area, deep in both
  // full chunks and in the short last chunk.
  for (const std::size_t position : {std::size_t{0}, kHeader - 1, kHeader, kHeader + 2000,
                                     kHeader + kCipherChunk + 5, cipher.size() - 1}) {
    std::string changed = cipher;
    changed[position] = static_cast<char>(changed[position] ^ 0x01);
    damaged.emplace_back(fmt::format("byte {} changed", position), changed);
  }
  // Cut: empty, inside the header, only the header, inside a chunk, exactly
  // after the first (non-final) chunk, one byte short of the end.
  for (const std::size_t length : {std::size_t{0}, std::size_t{10}, kHeader, kHeader + 100,
                                   kHeader + kCipherChunk, cipher.size() - 1}) {
    damaged.emplace_back(fmt::format("cut to {}", length), cipher.substr(0, length));
  }
  // A byte after a short final chunk comes in the same read as the chunk.
  damaged.emplace_back("a byte after the short final chunk of 100",
                       datatool::encryptBytes(kDataFileKey, patternBytes(100)) + "x");
  DataFileKey otherKey = kDataFileKey;
  otherKey[31] = static_cast<unsigned char>(otherKey[31] ^ 0x80);
  damaged.emplace_back("a wrong key", datatool::encryptBytes(otherKey, patternBytes(500)));
  damaged.emplace_back("no stream", "not a stream at all, but long enough to hold a header and more");
  for (const auto& [what, bytes] : damaged) {
    SCOPED_TRACE(what);
    writeFile(plain(), "stale plain text");
    writeCipher(bytes);
    expectFailureWithoutOutput("Decryption failed");
  }
}

// The stream ends with its final chunk: what a file holds in the reads
// after it is no part of the data.
TEST_F(StreamDecryptTest, BytesAfterTheFinalChunkAreIgnored) {
  for (const std::size_t plainSize : {std::size_t{4096}, std::size_t{8192}}) {
    for (const std::string& tail : {std::string("x"), patternBytes(5000)}) {
      SCOPED_TRACE(fmt::format("{} bytes after {}", tail.size(), plainSize));
      const std::string original = patternBytes(plainSize);
      writeCipher(datatool::encryptBytes(kDataFileKey, original) + tail);
      ASSERT_TRUE(gf_streamDecrypt(encrypted(), plain()));
      EXPECT_EQ(readFile(plain()), original);
      EXPECT_EQ(decryptToMemory(kDataFileKey, encrypted()), original);
    }
  }
}

TEST_F(StreamDecryptTest, MissingInputOrUnwritableOutputFails) {
  expectFailureWithoutOutput("Could not open input file: " + encrypted().string());
  {
    // Neither can be opened: the input is named.
    LogCapture neither;
    EXPECT_FALSE(gf_streamDecrypt(encrypted(), folder_ / "missing-folder" / "data.xml"));
    EXPECT_NE(neither.text().find("Could not open input file: "), std::string::npos) << neither.text();
  }
  writeCipher(datatool::encryptBytes(kDataFileKey, "abc"));
  LogCapture log;
  EXPECT_FALSE(gf_streamDecrypt(encrypted(), folder_ / "missing-folder" / "data.xml"));
  EXPECT_NE(log.text().find("Could not open output file: "), std::string::npos);
}

TEST_F(StreamDecryptTest, RemoveFileWarnIgnoresMissingFilesAndLogsAFailedDeletion) {
  LogCapture log;
  removeFileWarn(plain());  // not there: nothing to say
  EXPECT_EQ(log.text().find("could not remove"), std::string::npos);
  const auto folder = folder_ / "busy";
  writeFile(folder / "inside.txt", "x");
  removeFileWarn(folder);  // a folder that is not empty cannot be removed
  EXPECT_TRUE(std::filesystem::exists(folder));
  EXPECT_NE(log.text().find("===> Warning: could not remove " + folder.string() + ", errorcode: "), std::string::npos);
}

}  // namespace
}  // namespace crv
