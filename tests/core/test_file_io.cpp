#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <new>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/file_io.h"

namespace pg {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pg_file_io_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::size_t EntriesIn(const fs::path& p) const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(p), fs::directory_iterator()));
  }
  fs::path dir_;
};

TEST_F(FileIo, WriteReplacesAnExistingFileAndLeavesNoTemporaryBehind) {
  const fs::path target = dir_ / u8"アイコン.ico";
  const std::uint8_t first[] = {1, 2, 3}, second[] = {9, 8};
  ASSERT_EQ(WriteFileReplacing(target, first), Error::kOk);
  ASSERT_EQ(WriteFileReplacing(target, second), Error::kOk);
  auto back = ReadFileBytes(target);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, (std::vector<std::uint8_t>{9, 8}));
  EXPECT_EQ(EntriesIn(dir_), 1u);
}

TEST_F(FileIo, FailedWriteReportsAndLeavesTheTargetAsItWas) {
  const fs::path occupied = dir_ / "taken";
  fs::create_directories(occupied / "inside");  // a non-empty folder cannot be replaced by a file
  const std::uint8_t data[] = {1};
  EXPECT_EQ(WriteFileReplacing(occupied, data), Error::kNotAFile);
  EXPECT_TRUE(fs::is_directory(occupied / "inside"));
  EXPECT_EQ(EntriesIn(dir_), 1u);
  EXPECT_EQ(WriteFileReplacing(dir_ / "no-such-folder" / "x.ico", data), Error::kFileWriteFailed);
}

TEST_F(FileIo, NamesNearTheLimitsOfTheSystemAreWrittenAndReadBack) {
  // 250 characters in a folder of its own: past MAX_PATH on Windows, and
  // with no room for a suffix on the name (the temporary name is short).
  const fs::path target = dir_ / (std::string(246, 'n') + ".ico");
  const std::uint8_t data[] = {4, 5, 6};
  ASSERT_EQ(WriteFileReplacing(target, data), Error::kOk);
  ASSERT_EQ(WriteFileReplacing(target, data), Error::kOk);
  auto back = ReadFileBytes(target);
  ASSERT_TRUE(back.ok()) << ErrorText(back.error());
  EXPECT_EQ(back->size(), 3u);
  EXPECT_EQ(EntriesIn(dir_), 1u);
}

TEST_F(FileIo, SeveralOutputsAreAllReplacedOrNoneWithTheSystemsReason) {
  const fs::path first = dir_ / "first.ico", second = dir_ / "second.bmp";
  const std::uint8_t old[] = {1}, fresh[] = {2, 2};
  ASSERT_EQ(WriteFileReplacing(first, old), Error::kOk);
  const OutputFile failing[] = {{first, fresh}, {dir_ / "missing" / "x.bmp", fresh}};
  const WriteResult w = WriteFilesReplacing(failing);
  EXPECT_EQ(w.error, Error::kFileWriteFailed);
  EXPECT_EQ(w.file, dir_ / "missing" / "x.bmp");
  const std::string text = w.Text();
  EXPECT_EQ(text.rfind("file cannot be written: ", 0), 0u) << text;
  EXPECT_GT(text.size(), std::string("file cannot be written: ").size()) << text;
  EXPECT_EQ(*ReadFileBytes(first), (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(EntriesIn(dir_), 1u);  // no temporary file is left

  const OutputFile both[] = {{first, fresh}, {second, old}};
  ASSERT_TRUE(WriteFilesReplacing(both).ok());
  EXPECT_EQ(*ReadFileBytes(first), (std::vector<std::uint8_t>{2, 2}));
  EXPECT_EQ(*ReadFileBytes(second), (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(EntriesIn(dir_), 2u);
}

// A file with two names stays one file: both names see the new bytes, and
// a write whose other output fails leaves the old bytes under both.
TEST_F(FileIo, HardLinkedTargetIsRewrittenInPlace) {
  const fs::path name = dir_ / "icon.ico", other = dir_ / "other-name.ico";
  const std::uint8_t old[] = {1, 2, 3, 4}, fresh[] = {7, 7};
  ASSERT_EQ(WriteFileReplacing(name, old), Error::kOk);
  std::error_code ec;
  fs::create_hard_link(name, other, ec);
  if (ec) GTEST_SKIP() << "no hard links here: " << ec.message();

  const OutputFile failing[] = {{name, fresh}, {dir_ / "missing" / "x.bmp", fresh}};
  EXPECT_EQ(WriteFilesReplacing(failing).error, Error::kFileWriteFailed);
  EXPECT_EQ(*ReadFileBytes(other), (std::vector<std::uint8_t>{1, 2, 3, 4}));

  ASSERT_EQ(WriteFileReplacing(name, fresh), Error::kOk);
  EXPECT_EQ(*ReadFileBytes(name), (std::vector<std::uint8_t>{7, 7}));
  EXPECT_EQ(*ReadFileBytes(other), (std::vector<std::uint8_t>{7, 7}));
  EXPECT_EQ(EntriesIn(dir_), 2u);
}

TEST_F(FileIo, ReadRefusesMissingFoldersAndOversizedFiles) {
  EXPECT_EQ(ReadFileBytes(dir_ / "missing").error(), Error::kFileNotFound);
  EXPECT_EQ(ReadFileBytes(dir_).error(), Error::kIsFolder);
  std::ofstream(dir_ / "big", std::ios::binary) << std::string(100, 'x');
  EXPECT_EQ(ReadFileBytes(dir_ / "big", 99).error(), Error::kFileTooLarge);
  EXPECT_EQ(ReadFileBytes(dir_ / "big", 100)->size(), 100u);
}

// Mapped or read, a file gives the same bytes under the same limits; the
// spans stay good when the object moves, and a pipe is read instead.
TEST_F(FileIo, MappedFileGivesTheBytesUnderTheReadersLimits) {
  EXPECT_EQ(MappedFile::Open(dir_ / "missing").error(), Error::kFileNotFound);
  EXPECT_EQ(MappedFile::Open(dir_).error(), Error::kIsFolder);
  std::ofstream(dir_ / "big", std::ios::binary) << std::string(100, 'x');
  EXPECT_EQ(MappedFile::Open(dir_ / "big", 99).error(), Error::kFileTooLarge);
  auto big = MappedFile::Open(dir_ / "big", 100);
  ASSERT_TRUE(big);
#ifdef _WIN32
  EXPECT_TRUE(big->Mapped());
#else
  EXPECT_FALSE(big->Mapped());
#endif
  const Bytes seen = big->Data();
  MappedFile moved = std::move(*big);
  EXPECT_EQ(moved.Data().data(), seen.data());
  EXPECT_EQ(std::string(moved.Data().begin(), moved.Data().end()), std::string(100, 'x'));
  EXPECT_TRUE(big->Data().empty());
  std::ofstream(dir_ / "library", std::ios::binary) << std::string(200000, 'L');
  auto library = MappedFile::Open(dir_ / "library");
  ASSERT_TRUE(library);
  EXPECT_TRUE(library->Mapped());
  EXPECT_TRUE(library->Intact());
  EXPECT_EQ(std::string(library->Data().begin(), library->Data().end()), std::string(200000, 'L'));

  std::ofstream(dir_ / "empty", std::ios::binary).flush();
  auto empty = MappedFile::Open(dir_ / "empty");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->Data().empty());
#ifndef _WIN32
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << std::string(70000, 'p'); });
  auto piped = MappedFile::Open(fifo, 69999);
  writer.join();
  EXPECT_EQ(piped.error(), Error::kFileTooLarge);
  std::thread writer2([&] { std::ofstream(fifo, std::ios::binary) << std::string(70000, 'p'); });
  piped = MappedFile::Open(fifo);
  writer2.join();
  ASSERT_TRUE(piped);
  EXPECT_FALSE(piped->Mapped());
  EXPECT_EQ(piped->Data().size(), 70000u);
#endif
}

// A failed allocation at any step of a write of two outputs, one new and
// one replacing a file: nothing is left in the folder but the old file with
// its old bytes. The hook fails the n-th step, for every n up to the first
// write that gets through.
int g_stepsLeft = 0;
void FailAtStep(WriteStep) {
  if (--g_stepsLeft == 0) throw std::bad_alloc();
}

TEST_F(FileIo, AFailureAtAnyStepOfAWriteLeavesNoTemporaryAndNoChange) {
  const fs::path kept = dir_ / "kept.ico", fresh = dir_ / "fresh.bmp";
  const std::uint8_t old[] = {1, 2, 3}, a[] = {7}, b[] = {8, 8};
  ASSERT_EQ(WriteFileReplacing(kept, old), Error::kOk);
  const OutputFile outputs[] = {{fresh, b}, {kept, a}};
  SetWriteStepHookForTests(FailAtStep);
  int failedSteps = 0;
  for (int n = 1; n < 32; ++n) {
    g_stepsLeft = n;
    const WriteResult w = WriteFilesReplacing(outputs);
    if (w.ok()) break;
    ++failedSteps;
    EXPECT_EQ(w.error, Error::kOutOfMemory) << "step " << n;
    EXPECT_EQ(EntriesIn(dir_), 1u) << "step " << n;
    EXPECT_EQ(*ReadFileBytes(kept), (std::vector<std::uint8_t>{1, 2, 3})) << "step " << n;
  }
  SetWriteStepHookForTests(nullptr);
  // Created, written, replacing, replaced for each output but the last's
  // "replaced", after which nothing can fail.
  EXPECT_EQ(failedSteps, 7);
  EXPECT_EQ(*ReadFileBytes(kept), (std::vector<std::uint8_t>{7}));
  EXPECT_EQ(*ReadFileBytes(fresh), (std::vector<std::uint8_t>{8, 8}));
  EXPECT_EQ(EntriesIn(dir_), 2u);
}

#ifndef _WIN32
// Here another program may shorten a mapped file. Every byte of it can
// still be looked at without a signal (past the new end they read as
// zeros), and the file says it is no longer intact, whether the cut falls
// pages before the end or within the last page, and also to a watch taken
// before the file moved into its reader.
TEST_F(FileIo, AMappedFileShortenedUnderItsReaderIsNoLongerIntactNeverASignal) {
  const std::string full(1 << 20, 'z');
  for (const std::uintmax_t cut : {std::uintmax_t{4096}, full.size() - 10}) {
    SCOPED_TRACE(cut);
    const fs::path file = dir_ / "shrinking";
    std::ofstream(file, std::ios::binary) << full;
    auto opened = MappedFile::Open(file);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(opened->Mapped());
    const FileWatch watch = opened->Watch();
    const MappedFile bytes = std::move(*opened);
    fs::resize_file(file, cut);
    std::size_t zs = 0;
    for (std::uint8_t b : bytes.Data()) zs += b == 'z';
    EXPECT_EQ(zs, cut);
    EXPECT_FALSE(bytes.Intact());
    EXPECT_FALSE(watch.Intact());
    EXPECT_EQ(ReadFileBytes(file)->size(), cut);
  }
}

// A file that another thread keeps shortening and lengthening again (with
// zeros) while it is opened and read gives bytes it held at some moment, or
// zeros where it had none, never a signal.
TEST_F(FileIo, AFileShortenedAndLengthenedWhileItIsReadGivesItsBytesOrZerosNeverASignal) {
  const fs::path file = dir_ / "shrinking";
  const std::string full(4 * 1024 * 1024, 'z');
  std::ofstream(file, std::ios::binary) << full;
  std::atomic<bool> stop = false;
  std::thread shortener([&] {
    std::error_code ec;
    for (int i = 0; !stop; ++i) fs::resize_file(file, i % 2 ? full.size() : 4096, ec);
  });
  int reads = 0;
  for (int i = 0; i < 100; ++i) {
    auto bytes = MappedFile::Open(file);
    if (!bytes) continue;
    ++reads;
    std::size_t strange = 0;
    for (std::uint8_t b : bytes->Data()) strange += b != 'z' && b != 0;
    EXPECT_LE(bytes->Data().size(), full.size());
    EXPECT_EQ(strange, 0u);
  }
  stop = true;
  shortener.join();
  EXPECT_GT(reads, 0);
}
#endif  // Windows refuses to shorten a mapped file (Wine does not always).

}  // namespace
}  // namespace pg
