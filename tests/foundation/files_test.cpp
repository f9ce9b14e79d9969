#include "foundation/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include <sys/stat.h>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "foundation/disk_sync.h"
#include "foundation/errors.h"
#include "foundation/line_end.h"
#include "foundation/log.h"
#include "tests/support/log_capture.h"
#include "tests/support/thrown_text.h"
#include "tests/support/unprivileged_user.h"

namespace crv {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;
using Lines = std::vector<std::string>;

// The text with its byte order mark.
std::string utf16(std::u16string_view text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += littleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

class FilesTest : public ::testing::Test {
 protected:
  Charset charsetOf(std::string_view bytes) {
    const auto path = folder / "probe.txt";
    writeFile(path, bytes);
    return detectCharset(path);
  }
  TempFolder folder;
};

TEST_F(FilesTest, DetectsTheCharsetFromMarksAndBytes) {
  const std::pair<std::string, Charset> cases[] = {
      {"\xEF\xBB\xBFtitle=x", Charset::Utf8WithBom},
      {utf16(u"[fltsim.0]", true), Charset::Utf16LittleEndian},
      {utf16(u"[fltsim.0]", false), Charset::Utf16BigEndian},
      {"plain ascii text", Charset::Utf8WithoutBom},
      {"Z\xC3\xBCrich", Charset::Utf8WithoutBom},
      {"Z\xFCrich", Charset::Ansi},
      {"\xEF\xBB", Charset::Ansi},  // two bytes of a mark: a cut sequence
      // A multi-byte character cut by the end of the probe counts as ANSI.
      {std::string(1025, 'a') + "\xE2\x82\xAC more", Charset::Ansi},
      {std::string(1024, 'a') + "\xE2\x82\xAC more", Charset::Utf8WithoutBom},
      {"", Charset::NoneFound},
      {"x", Charset::NoneFound},
  };
  for (const auto& [bytes, charset] : cases) EXPECT_EQ(charsetOf(bytes), charset) << bytes.substr(0, 16);
  EXPECT_EQ(detectCharset(folder / "missing.cfg"), Charset::NoneFound);
  EXPECT_THROW(charsetName(static_cast<Charset>(9)), std::out_of_range);
}

TEST_F(FilesTest, MissingFileIsLoggedWithItsError) {
  testing::LogCapture log;
  errno = EACCES;  // left over from an earlier call
  detectCharset(folder / "missing.cfg");
  EXPECT_TRUE(log.contains("Cannot open file " + (folder / "missing.cfg").string() +
                           " for character encoding. Win32 error: 2\n"));
}

TEST_F(FilesTest, ReadsEachCharsetKeepingCarriageReturnsOnlyInUtf16) {
  struct Case {
    Charset charset;
    std::string bytes;
    bool read;
    Lines lines;
  };
  const Case cases[] = {
      {Charset::Utf16LittleEndian, utf16(u"[fltsim.0]\r\ntitle=Z\u00fcrich\r\n", true), true,
       {"[fltsim.0]\r", "title=Z\xC3\xBCrich\r"}},
      {Charset::Utf16BigEndian, utf16(u"a\nb", false), true, {"a", "b"}},
      {Charset::Utf16LittleEndian, utf16(std::u16string(u"ok\n") + char16_t(0xD800) + u"x", true), false, {}},
      {Charset::Utf8WithBom, "\xEF\xBB\xBF" "first\r\nsecond\r\n", true, {"first", "second"}},
  };
  const auto path = folder / "aircraft.cfg";
  for (const Case& c : cases) {
    writeFile(path, c.bytes);
    Lines lines;
    EXPECT_EQ(readTextFileByCharset(c.charset, path, lines), c.read) << charsetName(c.charset);
    if (c.read) {
      EXPECT_EQ(lines, c.lines);
    }
  }
  Lines lines;
  EXPECT_FALSE(readTextFileByCharset(Charset::Ansi, folder / "missing.txt", lines));
  EXPECT_EQ(testing::thrownText<std::runtime_error>([&] { readTextFileByCharset(Charset::NoneFound, path, lines); }),
            "file " + path.string() + " has unknown charset: none_found");
}

TEST_F(FilesTest, EightBitTextComesAsUtf8LinesWhateverItsCodePageAndLineEnds) {
  const std::string euro(1030, 'a');
  const std::tuple<const char*, Charset, std::string, Lines> cases[] = {
      {"ANSI", Charset::Ansi, "title=Z\xFCrich \x80 5\r\nx", {"title=Z\xC3\xBCrich \xE2\x82\xAC 5", "x"}},
      {"ANSI after UTF-8 looking bytes", Charset::Utf8WithoutBom, euro + "\nK\xF6ln\n", {euro, "K\xC3\xB6ln"}},
      {"UTF-8 cut at the probe", Charset::Ansi, euro + "\xE2\x82\xAC", {euro + "\xE2\x82\xAC"}},
      {"lone CR", Charset::Utf8WithoutBom, "a\rb\r\rc", {"a", "b", "", "c"}},
      {"BOM and ANSI", Charset::Utf8WithBom, "\xEF\xBB\xBF" "caf\xE9", {"caf\xC3\xA9"}},
  };
  const auto path = folder / "aircraft.cfg";
  for (const auto& [name, charset, bytes, expected] : cases) {
    writeFile(path, bytes);
    Lines lines;
    EXPECT_TRUE(readTextFileByCharset(charset, path, lines)) << name;
    EXPECT_EQ(lines, expected) << name;
  }
}

TEST_F(FilesTest, WritersAndReaderAgree) {
  const auto path = folder / "lines.txt";
  ASSERT_TRUE(writeLinesToFile({"a", "", "c"}, path));
  TextFile file{path, {"stale"}};
  EXPECT_EQ(readFileLines(file, 512), (Lines{"a", "", "c"}));
  ASSERT_TRUE(writeTextFile("no end", path, false));
  EXPECT_EQ(readFile(path), "no end");
  EXPECT_FALSE(writeTextFile("x", folder / "missing" / "f.txt", true));
  TextFile missing{folder / "missing.txt", {"stale"}};
  EXPECT_TRUE(readFileLines(missing, 4).empty());
}

TEST_F(FilesTest, TheTextWritersEndLinesAsTheChosenSystemDoesAndTheReaderTakesBoth) {
  const auto path = folder / "lines.txt";
  for (const bool crlf : {true, false}) {
    useCrLfLineEnds(crlf);
    const std::string end = crlf ? "\r\n" : "\n";
    ASSERT_TRUE(writeLinesToFile({"a", "", "c"}, path));
    EXPECT_EQ(readFile(path), "a" + end + end + "c" + end);
    TextFile file{path, {}};
    EXPECT_EQ(readFileLines(file, 4), (Lines{"a", "", "c"}));
    ASSERT_TRUE(writeListLinesToFile({"x"}, path));
    EXPECT_EQ(readFile(path), "x" + end);
    ASSERT_TRUE(writeTextFile("report\nline", path, true));
    EXPECT_EQ(readFile(path), "report" + end + "line" + end);
  }
  useCrLfLineEnds(kPlatformCrLfLineEnds);
#ifdef _WIN32
  EXPECT_EQ(textLineEnd(), "\r\n");
#else
  EXPECT_EQ(textLineEnd(), "\n");
#endif
}

TEST_F(FilesTest, AtomicWriteReplacesWholeOrLeavesTheOldFile) {
  const auto path = folder / "parameters.xml";
  writeFile(path, "old content");
  ASSERT_TRUE(writeFileAtomically(path, "new content"));
  EXPECT_EQ(readFile(path), "new content");
  ASSERT_TRUE(writeFileAtomically(path, "regenerable", Durability::Regenerable));
  EXPECT_EQ(readFile(path), "regenerable");
  // A target that cannot be replaced (a folder stands there): the write fails
  // and leaves no temporary file behind.
  const auto blocked = folder / "blocked.xml";
  std::filesystem::create_directories(blocked / "inside");
  EXPECT_FALSE(writeFileAtomically(blocked, "x"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

// Each flush to the disk as the seam saw it: what was flushed, the name of
// the open file or folder, and what the target held at that moment.
struct SeenSync {
  SyncedEntry entry;
  std::string name;
  std::string targetText;
  std::uintmax_t fileBytes;
};

#ifdef _WIN32
// Windows opens no folder to flush it: its file system journals the rename.
constexpr std::size_t kFlushesPerDurableWrite = 1;

// The open file of a flush: Windows has no /proc, so the one file in the
// folder other than the target.
std::string nameOfFlushedEntry(int /*descriptor*/, const std::filesystem::path& target) {
  std::string names;
  for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
    if (entry.path().filename() != target.filename()) names += entry.path().filename().string();
  }
  return names;
}
#else
constexpr std::size_t kFlushesPerDurableWrite = 2;

std::string nameOfFlushedEntry(int descriptor, const std::filesystem::path& /*target*/) {
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(descriptor)).filename().string();
}
#endif

TEST_F(FilesTest, ADurableWriteFlushesTheWrittenFileThenItsFolderAfterTheRename) {
  const auto path = folder / "parameters.xml";
  std::vector<SeenSync> seen;
  int failWith = 0;
  DiskSyncOverride counting([&](int descriptor, SyncedEntry entry) {
    struct stat status {};
    ::fstat(descriptor, &status);
    seen.push_back({entry, nameOfFlushedEntry(descriptor, path), std::filesystem::exists(path) ? readFile(path) : "",
                    static_cast<std::uintmax_t>(status.st_size)});
    errno = failWith;
    return failWith == 0 ? 0 : -1;
  });

  writeFile(path, "old");
  ASSERT_TRUE(writeFileAtomically(path, "new content"));
  ASSERT_EQ(seen.size(), kFlushesPerDurableWrite);
  // The temporary file, whole, before the rename; then the folder, after it.
  EXPECT_EQ(seen[0].entry, SyncedEntry::File);
  EXPECT_TRUE(seen[0].name.starts_with("parameters.xml.tmp")) << seen[0].name;
  EXPECT_EQ(seen[0].fileBytes, std::string("new content").size());
  EXPECT_EQ(seen[0].targetText, "old");
  if (kFlushesPerDurableWrite == 2) {
    EXPECT_EQ(seen[1].entry, SyncedEntry::Folder);
    EXPECT_EQ(seen[1].name, folder.path().filename().string());
    EXPECT_EQ(seen[1].targetText, "new content");
  }

  // Every durable writer flushes both; a regenerable write neither.
  const std::vector<std::function<bool()>> durableWriters = {
      [&] { return writeLinesToFile({"a"}, path); },
      [&] { return writeTextFile("b", path, true); },
      [&] {
        pugi::xml_document document;
        document.append_child("parameters");
        return saveXml(document, path);
      },
  };
  for (const auto& write : durableWriters) {
    seen.clear();
    ASSERT_TRUE(write());
    EXPECT_EQ(seen.size(), kFlushesPerDurableWrite);
  }
  seen.clear();
  ASSERT_TRUE(writeFileAtomically(path, "regenerable", Durability::Regenerable));
  EXPECT_TRUE(seen.empty());

  // A file that does not reach the disk is no save: the old file stays, no
  // temporary is left, and the folder is not touched.
  writeFile(path, "kept");
  seen.clear();
  failWith = EIO;
  EXPECT_FALSE(writeFileAtomically(path, "lost"));
  EXPECT_EQ(readFile(path), "kept");
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0].entry, SyncedEntry::File);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(FilesTest, TheLineWritersReplaceTheFileInsteadOfTruncatingIt) {
  // A second name of the old file sees the old bytes only when the writer
  // replaced the file; one that truncates in place loses them at a kill.
  const auto path = folder / "Callsign2ObjectId.txt";
  const auto earlier = folder / "earlier.txt";
  const std::vector<std::function<bool()>> writers = {
      [&] { return writeLinesToFile({"new"}, path); },
      [&] { return writeListLinesToFile({"new"}, path); },
      [&] { return writeTextFile("new", path, true); },
  };
  for (const auto& write : writers) {
    writeFile(path, "old\n");
    std::filesystem::remove(earlier);
    std::filesystem::create_hard_link(path, earlier);
    ASSERT_TRUE(write());
    EXPECT_EQ(readFile(path), "new" + std::string(textLineEnd()));
    EXPECT_EQ(readFile(earlier), "old\n");
  }
}

TEST_F(FilesTest, StaleTemporariesOfOurOwnAndNothingElseAreRemoved) {
  for (const char* name : {"EHAM.xml.tmp0123abcd", "parameters.xml.tmpffffffff", "EHAM.xml", "notes.tmp",
                           "x.tmp0123abc", "x.tmp0123abcg", ".tmp01234567"}) {
    writeFile(folder / name, "bytes");
  }
  EXPECT_EQ(removeStaleTemporaries(folder.path()), 2u);
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left, (std::set<std::string>{"EHAM.xml", "notes.tmp", "x.tmp0123abc", "x.tmp0123abcg", ".tmp01234567"}));
  EXPECT_EQ(removeStaleTemporaries(folder / "missing"), 0u);
}

TEST_F(FilesTest, ASetAsideNameIsTheFirstFreeNumberAndANameTooLongEndsTheSearch) {
  const auto path = folder / "parameters.xml";
  EXPECT_EQ(freeSetAsideName(path, ".bad"), folder / "parameters.xml.bad");
  writeFile(folder / "parameters.xml.bad", "a");
  writeFile(folder / "parameters.xml.bad1", "b");
  EXPECT_EQ(freeSetAsideName(path, ".bad"), folder / "parameters.xml.bad2");
  // Each longer candidate is too long as well: the search must not go on.
  const auto tooLong = folder / std::string(300, 'x');
  EXPECT_EQ(freeSetAsideName(tooLong, ".bad").filename().string(), std::string(300, 'x') + ".bad");
}

TEST_F(FilesTest, SaveXmlLogsTheOutcome) {
  testing::LogCapture log;
  pugi::xml_document document;
  document.append_child("parameters");
  const auto path = folder / "saved.xml";
  EXPECT_TRUE(saveXml(document, path));
  EXPECT_FALSE(saveXml(document, folder / "missing" / "saved.xml"));
  EXPECT_EQ(log.missing({"'" + path.string() + "' saved", "could not save to '"}), "");
  EXPECT_EQ(getAttribute(document.child("nothing"), "name"), "");
}

// An output file the user made read-only is not replaced: the save fails as
// an open for writing would (a user whom permissions bind; on Windows the
// read-only mark).
TEST_F(FilesTest, AReadOnlyFileIsNotReplaced) {
  pugi::xml_document document;
  document.append_child("parameters");
  const auto path = folder / "output.xml";
  writeFile(path, "kept");
  testing::handToUnprivilegedUser(folder.path());
  testing::handToUnprivilegedUser(path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  testing::LogCapture log;
  EXPECT_EQ(testing::runAsUnprivilegedUser([&] { return std::string(saveXml(document, path) ? "saved" : "refused"); }),
            "refused");
  EXPECT_TRUE(log.contains(fmt::format("could not save to '{}'\n", path.string()))) << log.text();
  EXPECT_EQ(readFile(path), "kept");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
  std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

TEST_F(FilesTest, EmptyFolderRemovesEverythingButTheFolder) {
  const auto target = folder / "TBLO";
  writeFile(target / "a.xml", "a");
  writeFile(target / "sub" / "deep" / "b.xml", "b");
  emptyFolder(target);
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(folderEntryCount(target), 0U);
  EXPECT_NO_THROW(emptyFolder(folder / "missing"));
  EXPECT_EQ(folderEntryCount(folder / "missing"), 0U);
}

TEST_F(FilesTest, EmptyFolderFailureIsUserErrorFive) {
  // Permissions do not bind root (which CI runs as); nobody, root included,
  // can delete the entries of a folder of the proc file system.
  const std::filesystem::path undeletable = "/proc/self/fdinfo";
  ASSERT_TRUE(std::filesystem::is_directory(undeletable));
  EXPECT_THAT(testing::thrownText<UserErrorException>([&] { emptyFolder(undeletable); }), ::testing::StartsWith("5: "));
}

TEST_F(FilesTest, ALockedEntryIsSkippedAndNamedWhileTheOthersAreRemoved) {
  testing::LogCapture log;
  const auto target = folder / "my_thirdparty";
  writeFile(target / "EHAM.xml", "a");
  writeFile(target / "sub" / "b.xml", "b");
  EXPECT_EQ(emptyFolderSkippingLocked(target), 0U);
  EXPECT_EQ(folderEntryCount(target), 0U);
  EXPECT_EQ(emptyFolderSkippingLocked(folder / "missing"), 0U);
  // Nobody, root included, can delete the entries of this folder.
  const std::filesystem::path undeletable = "/proc/self/fdinfo";
  std::size_t left = 0;
  EXPECT_NO_THROW(left = emptyFolderSkippingLocked(undeletable));
  EXPECT_GT(left, 0U);
  EXPECT_TRUE(log.contains("===> Could not remove " + (undeletable / "").string())) << log.text();
}

TEST_F(FilesTest, ListXmlFilesTakesFourLetterCodesInNameOrder) {
  const auto airports = folder / "my_thirdparty";
  for (const char* name : {"EDDF.xml", "eddf.XML", "EHAM.xml", "EDDF1.xml", "LFPG.txt"}) writeFile(airports / name, "");
  std::filesystem::create_directories(airports / "ABCD.xml");
  // Where names ignore case (Windows) the two EDDF files are one.
  const bool namesIgnoreCase = std::filesystem::equivalent(airports / "EDDF.xml", airports / "eddf.xml");
  EXPECT_EQ(listXmlFiles(airports), (namesIgnoreCase ? Lines{"EDDF", "EHAM"} : Lines{"EDDF", "EHAM", "eddf"}));
  EXPECT_TRUE(listXmlFiles(folder / "missing").empty());
}

}  // namespace
}  // namespace crv
