// The one-file distribution's stream: what goes in comes out, and every way a stream can be
// damaged or lie ends in a failure the carrying program can see before it runs anything.

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "onefile/carried_folder.h"
#include "onefile/carried_unpack.h"
#include "platform/fs.h"
#include "platform/sha256.h"
#include "tests/unit/test_support.h"

namespace {

using onefile::CarryFault;

// The format is the same at every preset; the fastest keeps the tests quick (and small under
// the sanitizers), where the shipped one needs 680 MiB to encode.
constexpr int kFastLevel = 0;

struct ReceivedFile {
  std::string name;
  uint64_t declared = 0;
  std::string bytes;
  bool ended = false;
};

class RecordingSink : public onefile::ICarrySink {
 public:
  bool BeginFile(const std::string& name, uint64_t size) override {
    files.push_back({name, size, "", false});
    return true;
  }
  bool WriteBytes(const unsigned char* data, size_t size) override {
    files.back().bytes.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  bool EndFile() override {
    files.back().ended = true;
    return true;
  }
  std::vector<ReceivedFile> files;
};

// Owns a temporary file for a stream.
struct TempStream {
  FILE* file = tmpfile();
  ~TempStream() {
    if (file != nullptr)
      fclose(file);
  }
};

std::string ReadBack(FILE* file) {
  std::string bytes;
  rewind(file);
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.append(buffer, got);
  return bytes;
}

// Reads bytes (of which length count as the stream) as the carrying program would.
onefile::CarryResult ReadStream(const std::string& bytes, uint64_t length, RecordingSink* sink) {
  TempStream stream;
  fwrite(bytes.data(), 1, bytes.size(), stream.file);
  rewind(stream.file);
  onefile::CCarriedReader reader(stream.file, length);
  return reader.ReadFiles(sink);
}

// Pseudo-random bytes: they do not compress, so the stream outgrows the reader's buffers too.
std::string Noise(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (char& c : bytes) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

void PutLe(std::string* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out->push_back(static_cast<char>(value >> (8 * i)));
}

struct RawFile {
  std::string name;
  std::string bytes;
  uint64_t statedSize;  // what the entry says
};

// A stream the writer would refuse to make, laid out by hand: the reader must not trust it.
std::string HandMadeStream(uint32_t count, uint64_t total, const std::vector<RawFile>& files) {
  std::string raw("CARRIED\x1a", 8);
  PutLe(&raw, onefile::kCarriedFormatVersion, 4);
  PutLe(&raw, count, 4);
  PutLe(&raw, total, 8);
  for (const RawFile& file : files) {
    raw += 'F';
    PutLe(&raw, file.name.size(), 2);
    raw += file.name;
    PutLe(&raw, file.statedSize, 8);
    raw += file.bytes;
  }
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
  raw += std::string("END\x1a", 4);
  PutLe(&raw, crc, 4);
  // Preset 6: the Windows build of liblzma carries only the BT4 match finder that 6 to 9 use.
  lzma_stream stream = LZMA_STREAM_INIT;
  std::string packed(raw.size() + 1024, '\0');
  EXPECT_EQ(lzma_easy_encoder(&stream, 6, LZMA_CHECK_CRC64), LZMA_OK);
  stream.next_in = reinterpret_cast<const uint8_t*>(raw.data());
  stream.avail_in = raw.size();
  stream.next_out = reinterpret_cast<uint8_t*>(&packed[0]);
  stream.avail_out = packed.size();
  EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
  packed.resize(packed.size() - stream.avail_out);
  lzma_end(&stream);
  return packed;
}

class CarriedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    contents_ = {Noise(700 * 1024), "", "[main]\ntitle=Demo\n"};
    names_ = {"setup.exe", "empty.txt", "setup.ini"};
    for (size_t i = 0; i < names_.size(); ++i) {
      ASSERT_TRUE(WriteWholeFile(scratch_.Join(names_[i]), contents_[i]));
      files_.push_back({names_[i], scratch_.Join(names_[i])});
    }
    stream_ = Write(files_);
  }

  std::string Write(const std::vector<onefile::CarriedFile>& files) {
    TempStream out;
    onefile::CarryResult result = onefile::WriteCarriedFolder(files, out.file, kFastLevel);
    EXPECT_TRUE(result.ok()) << onefile::DescribeCarryFault(result.fault) << " " << result.name;
    return ReadBack(out.file);
  }

  ScratchFolder scratch_;
  std::vector<std::string> names_;
  std::vector<std::string> contents_;
  std::vector<onefile::CarriedFile> files_;
  std::string stream_;
};

TEST_F(CarriedFolderTest, RoundTripIsWholeAndDeterministic) {
  EXPECT_EQ(Write(files_), stream_);

  TempStream in;
  fwrite(stream_.data(), 1, stream_.size(), in.file);
  rewind(in.file);
  onefile::CCarriedReader reader(in.file, stream_.size());
  onefile::CarriedHeader header;
  ASSERT_TRUE(reader.ReadHeader(&header).ok());
  EXPECT_EQ(header.fileCount, 3u);
  EXPECT_EQ(header.totalBytes, contents_[0].size() + contents_[2].size());

  RecordingSink sink;
  onefile::CarryResult result = reader.ReadFiles(&sink);
  ASSERT_TRUE(result.ok()) << onefile::DescribeCarryFault(result.fault);
  ASSERT_EQ(sink.files.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sink.files[i].name, names_[i]);
    EXPECT_EQ(sink.files[i].declared, contents_[i].size());
    EXPECT_TRUE(sink.files[i].bytes == contents_[i]) << names_[i];
    EXPECT_TRUE(sink.files[i].ended);
  }
}

TEST_F(CarriedFolderTest, WriterRefusesWhatTheReaderWould) {
  struct Row {
    std::vector<std::string> names;
    CarryFault fault;
  };
  const Row rows[] = {
      {{}, CarryFault::kNoFiles},
      {{""}, CarryFault::kUnsafeName},
      {{"."}, CarryFault::kUnsafeName},
      {{".."}, CarryFault::kUnsafeName},
      {{"sub\\setup.exe"}, CarryFault::kUnsafeName},
      {{"sub/setup.exe"}, CarryFault::kUnsafeName},
      {{"c:setup.exe"}, CarryFault::kUnsafeName},
      {{"setup.ini", "nul.txt"}, CarryFault::kUnsafeName},
      {{"setup.ini", "SETUP.INI"}, CarryFault::kDuplicateName},
  };
  for (const Row& row : rows) {
    std::vector<onefile::CarriedFile> files;
    for (const std::string& name : row.names)
      files.push_back({name, scratch_.Join("setup.ini")});
    TempStream out;
    onefile::CarryResult result = onefile::WriteCarriedFolder(files, out.file, kFastLevel);
    EXPECT_EQ(result.fault, row.fault) << (row.names.empty() ? "(none)" : row.names.back());
    EXPECT_EQ(ftell(out.file), 0) << "wrote before refusing";
  }
}

TEST_F(CarriedFolderTest, ReaderReportsEveryDamagedOrLyingStream) {
  std::string flipped = stream_;
  flipped[flipped.size() / 2] ^= 0x10;
  const std::string ini = "[main]\n";
  struct Row {
    const char* what;
    std::string bytes;
    uint64_t length;
    CarryFault fault;
  };
  const Row rows[] = {
      {"nothing", "", 0, CarryFault::kTruncated},
      {"cut in the xz header", stream_.substr(0, 10), 10, CarryFault::kTruncated},
      {"cut in the middle", stream_.substr(0, stream_.size() / 2), stream_.size() / 2,
       CarryFault::kTruncated},
      {"cut before the xz index", stream_.substr(0, stream_.size() - 40), stream_.size() - 40,
       CarryFault::kTruncated},
      {"length short of the stream", stream_, stream_.size() - 1, CarryFault::kTruncated},
      {"one byte flipped", flipped, flipped.size(), CarryFault::kDamaged},
      {"garbage after the stream", stream_ + "x", stream_.size() + 1, CarryFault::kTrailingData},
      {"unsafe name", HandMadeStream(1, 7, {{"..", ini, 7}}), 0, CarryFault::kUnsafeName},
      {"name with a separator", HandMadeStream(1, 7, {{"a\\b", ini, 7}}), 0,
       CarryFault::kUnsafeName},
      {"one name twice", HandMadeStream(2, 14, {{"a.ini", ini, 7}, {"A.INI", ini, 7}}), 0,
       CarryFault::kDuplicateName},
      {"no files", HandMadeStream(0, 0, {}), 0, CarryFault::kBadHeader},
      {"fewer files than counted", HandMadeStream(2, 7, {{"a.ini", ini, 7}}), 0,
       CarryFault::kSizeMismatch},
      {"more files than counted", HandMadeStream(1, 14, {{"a.ini", ini, 7}, {"b.ini", ini, 7}}), 0,
       CarryFault::kSizeMismatch},
      {"total above the files", HandMadeStream(1, 8, {{"a.ini", ini, 7}}), 0,
       CarryFault::kSizeMismatch},
      {"file above the total", HandMadeStream(1, 6, {{"a.ini", ini, 7}}), 0,
       CarryFault::kSizeMismatch},
      {"file size beyond the stream", HandMadeStream(1, 1u << 30, {{"a.ini", ini, 1u << 30}}), 0,
       CarryFault::kSizeMismatch},
  };
  for (const Row& row : rows) {
    RecordingSink sink;
    uint64_t length = row.length != 0 ? row.length : row.bytes.size();
    onefile::CarryResult result = ReadStream(row.bytes, length, &sink);
    EXPECT_FALSE(result.ok()) << row.what;
    EXPECT_EQ(result.fault, row.fault)
        << row.what << ": " << onefile::DescribeCarryFault(result.fault);
    for (const ReceivedFile& file : sink.files)
      EXPECT_EQ(onefile::CheckCarriedName(file.name), CarryFault::kNone) << row.what;
  }
}

std::string Hex(const unsigned char* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += "0123456789abcdef"[bytes[i] >> 4];
    text += "0123456789abcdef"[bytes[i] & 15];
  }
  return text;
}

// The published test vectors, given whole and in uneven pieces that cross the 64-byte blocks.
TEST(Sha256Test, KnownDigests) {
  struct Row {
    std::string message;
    const char* digest;
  };
  const Row rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Row& row : rows) {
    for (size_t piece : {row.message.size() + 1, size_t{7}, size_t{63}}) {
      platform::CSha256 hash;
      for (size_t at = 0; at < row.message.size(); at += piece)
        hash.Update(row.message.data() + at, std::min(piece, row.message.size() - at));
      unsigned char digest[platform::kSha256Size];
      hash.Finish(digest);
      EXPECT_EQ(Hex(digest, sizeof digest), row.digest) << row.message.size() << "/" << piece;
    }
  }
}

class MessageView : public onefile::IUnpackView {
 public:
  void BeginBytes(uint64_t) override {}
  void AddBytes(uint64_t bytes) override { written += bytes; }
  void ShowMessage(const std::string& text) override { said += text; }
  uint64_t written = 0;
  std::string said;
};

// The program's file as the seal describes it: an image, then the stream. Nothing but an
// intact stream with the sealed digest leaves files behind.
TEST_F(CarriedFolderTest, OnlyTheSealedStreamIsUnpacked) {
  const std::string image(512, 'M');
  onefile::Seal seal;
  seal.streamOffset = image.size();
  seal.streamBytes = stream_.size();
  platform::CSha256 hash;
  hash.Update(stream_.data(), stream_.size());
  hash.Finish(seal.digest);
  std::string flipped = image + stream_;
  flipped[image.size() + stream_.size() / 2] ^= 1;
  struct Row {
    const char* what;
    std::string file;
    const char* said;  // empty: unpacked
  };
  const Row rows[] = {
      {"intact, a signature after it", image + stream_ + "certificates", ""},
      {"one byte changed", flipped, "damaged or incomplete (the stream is damaged)"},
      {"cut short", image + stream_.substr(0, 100),
       "damaged or incomplete (the stream is truncated)"},
      {"another stream in its place", image + Write({files_[2]}), "damaged or incomplete"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string folder = scratch_.Join("unpacked");
    ASSERT_TRUE(platform::CreateFolder(folder.c_str()));
    TempStream self;
    fwrite(row.file.data(), 1, row.file.size(), self.file);
    onefile::UnpackPlace place;
    place.self = self.file;
    place.seal = seal;
    place.folder = folder;
    MessageView view;
    bool unpacked = onefile::UnpackCarried(place, &view);
    std::vector<platform::FolderEntry> entries;
    ASSERT_TRUE(platform::ListFolder(folder.c_str(), &entries));
    if (*row.said == '\0') {
      EXPECT_TRUE(unpacked) << view.said;
      ASSERT_EQ(entries.size(), names_.size());
      EXPECT_EQ(ReadWholeFile(folder + "\\setup.exe"), contents_[0]);
    } else {
      EXPECT_FALSE(unpacked);
      EXPECT_NE(view.said.find(row.said), std::string::npos) << view.said;
      EXPECT_EQ(entries.size(), 0u);
      EXPECT_EQ(view.written, 0u) << "decoded before the digest was checked";
    }
    ASSERT_TRUE(platform::RemoveTree(folder.c_str()));
  }
}

}  // namespace
