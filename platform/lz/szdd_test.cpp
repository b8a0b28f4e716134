#include "szdd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "szdd_testing.h"

namespace {

using lz::testing::ReadTestdata;

using lz::testing::ReferenceExpand;
using lz::testing::SzddHeader;

// The window position that output byte number n (0-based) is written to.
unsigned WinPos(size_t n) { return (lz::kFirstWritePos + n) % lz::kWindowSize; }

// LZSS data built item by item.
class Items {
 public:
  Items& Lit(std::string_view bytes) {
    for (char c : bytes) Add(true, {c});
    return *this;
  }
  Items& Ref(unsigned pos, unsigned len) {
    return Add(false, {static_cast<char>(pos & 0xFF), static_cast<char>((pos >> 4 & 0xF0) | (len - 3))});
  }
  const std::string& data() const { return data_; }

 private:
  Items& Add(bool literal, std::string bytes) {
    if (count_++ % 8 == 0) {
      flagAt_ = data_.size();
      data_ += '\0';
    }
    if (literal) data_[flagAt_] = static_cast<char>(data_[flagAt_] | 1 << ((count_ - 1) % 8));
    data_ += bytes;
    return *this;
  }
  std::string data_;
  size_t flagAt_ = 0;
  size_t count_ = 0;
};

// Expands through the streaming interface, handing out the input in pieces
// of the given sizes (cycled) and with small buffers, so that refills and
// flushes fall everywhere.
std::string ExpandChunked(std::string_view data, const std::vector<size_t>& pieces, size_t inBuf, size_t outBuf) {
  std::string out;
  size_t pos = 0, piece = 0;
  auto r = lz::ExpandLzss(
      [&](uint8_t* buffer, size_t size) {
        size_t n = std::min({size, data.size() - pos, pieces[piece++ % pieces.size()]});
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        return static_cast<ptrdiff_t>(n);
      },
      [&](const uint8_t* bytes, size_t size) {
        out.append(reinterpret_cast<const char*>(bytes), size);
        return true;
      },
      inBuf, outBuf);
  EXPECT_EQ(r.status, lz::ExpandStatus::Ok);
  EXPECT_EQ(r.written, out.size());
  return out;
}

// ---- Classification: only the 14-byte header with mode 'A' is SZDD --------

TEST(SzddClassify, DecidedByTheHeaderBytes) {
  struct Case {
    const char* name;
    std::string head;
    lz::SzddKind kind;
  };
  const std::string good = SzddHeader(5);
  const Case cases[] = {
      {"mode A", good, lz::SzddKind::Szdd},
      {"mode A, any missing char and length", SzddHeader(0xFFFFFFFF, 'A', 'E'), lz::SzddKind::Szdd},
      {"other mode", SzddHeader(5, 'B'), lz::SzddKind::UnknownMode},
      {"lower-case mode", SzddHeader(5, 'a'), lz::SzddKind::UnknownMode},
      {"one byte short of a header", good.substr(0, 13), lz::SzddKind::Plain},
      {"empty", "", lz::SzddKind::Plain},
      {"last magic byte wrong", "\x53\x5A\x44\x44\x88\xF0\x27\x34" + good.substr(8), lz::SzddKind::Plain},
      {"KWAJ magic", "KWAJ\x88\xF0\x27\xD1" + good.substr(8), lz::SzddKind::Plain},
  };
  for (const Case& c : cases) EXPECT_EQ(lz::ClassifyHeader(c.head), c.kind) << c.name;
}

// ---- Golden files made by mscompress 0.4 with testdata/make_fixtures.sh ----

TEST(SzddGolden, ExpandsFilesOfTheCompressionTool) {
  for (const char* name :
       {"window4095.txt", "window4096.txt", "window4097.txt", "blanks.txt", "gb2312.txt", "mixed.bin"}) {
    std::string plain = ReadTestdata(name);
    std::string packed = ReadTestdata(std::string(name) + "_");
    ASSERT_FALSE(plain.empty()) << name;
    ASSERT_EQ(lz::ClassifyHeader(packed), lz::SzddKind::Szdd) << name;
    EXPECT_EQ(lz::ExpandLzss(std::string_view(packed).substr(lz::kSzddHeaderSize)), plain) << name;
  }
}

// ---- Hand-built streams: each names the fault it catches ------------------

TEST(SzddHandBuilt, WindowSemantics) {
  struct Case {
    const char* fault;
    std::string data;
    std::string expected;
  };
  std::string pattern;  // 4108 distinct-looking bytes: the window wraps once
  for (size_t i = 0; i < 4108; ++i) pattern += static_cast<char>(i * 7 % 251);
  const Case cases[] = {
      {"no data: header only expands to nothing", "", ""},
      {"a single literal (mscompress gets tiny files wrong)", Items().Lit("x").data(), "x"},
      {"window not blank-filled: first item a reference into the initial window",
       Items().Ref(0xFF0, 3).Ref(0x000, 18).Ref(0x7AB, 5).data(), std::string(26, ' ')},
      {"first write position not 0xFF0: literals then a reference to 0xFF0",
       Items().Lit("AB").Ref(0xFF0, 5).data(), "ABABABA"},
      {"reference reaching from the blanks into written bytes",
       Items().Lit("xyz").Ref(0xFEE, 6).data(), "xyz  xyz "},
      {"overlapping copy done by blocks instead of byte by byte: run of one byte",
       Items().Lit("z").Ref(WinPos(0), 18).data(), std::string(19, 'z')},
      {"window wrap: a reference whose source crosses 0xFFF -> 0x000",
       Items().Lit(pattern.substr(0, 4100)).Ref(0xFFA, 18).data(),
       pattern.substr(0, 4100) + pattern.substr(10, 18)},
      {"window wrap: a reference whose destination crosses 0xFFF -> 0x000",
       Items().Lit(pattern).Ref(WinPos(272), 18).data(), pattern + pattern.substr(272, 18)},
      {"window wrap: a reference to the write position itself is 4096 bytes back",
       Items().Lit(pattern.substr(0, 4100)).Ref(WinPos(4100), 18).data(),
       pattern.substr(0, 4100) + pattern.substr(4, 18)},
      {"window wrap: after a wrap the initial blanks are gone",
       Items().Lit(pattern.substr(0, 4096)).Ref(0x000, 3).data(), pattern.substr(0, 4096) + pattern.substr(16, 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lz::ExpandLzss(c.data), c.expected) << c.fault;
    EXPECT_EQ(ReferenceExpand(c.data), c.expected) << "reference decoder: " << c.fault;
  }
}

TEST(SzddHandBuilt, InputEndingInsideAGroupOrItem) {
  struct Case {
    const char* fault;
    std::string data;
    std::string expected;
  };
  const std::string abc = Items().Lit("abc").Ref(WinPos(0), 4).data();  // "abcabca"
  const Case cases[] = {
      {"a flag byte with no items", std::string(1, '\0'), ""},
      {"a group cut after its second item", abc.substr(0, 3), "ab"},
      {"a reference cut between its two bytes is dropped", abc.substr(0, abc.size() - 1), "abc"},
      {"a reference's first byte alone", std::string("\x00\xF0", 2), ""},
      {"a full group and a cut reference in the next",
       Items().Lit("12345678").Ref(WinPos(0), 3).data().substr(0, 11), "12345678"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lz::ExpandLzss(c.data), c.expected) << c.fault;
    EXPECT_EQ(ExpandChunked(c.data, {1}, 0, 0), c.expected) << "byte by byte: " << c.fault;
  }
}

// ---- Streaming: the result does not depend on how the input arrives -------

// Random LZSS data (every byte sequence is valid data) is expanded with
// input handed out in varied pieces and tiny buffers, and compared with the
// plain ring-window decoder.
TEST(SzddStreaming, AgreesWithThePlainDecoderWhateverThePieces) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 40; ++round) {
    std::string data(std::uniform_int_distribution<size_t>(0, 3000)(rng), '\0');
    for (char& c : data) c = static_cast<char>(rng());
    // Bias some rounds towards long runs of references (flag bytes of 0).
    if (round % 2)
      for (size_t i = 0; i < data.size(); i += 17) data[i] = static_cast<char>(rng() & rng());
    std::vector<size_t> pieces{1 + rng() % 7, 1 + rng() % 300, 1 + rng() % 2, 4096};
    std::string expected = ReferenceExpand(data);
    ASSERT_EQ(ExpandChunked(data, pieces, 1 + rng() % 100, 1 + rng() % 400), expected) << "round " << round;
    ASSERT_EQ(lz::ExpandLzss(data), expected) << "round " << round;
  }
}

TEST(SzddStreaming, ReportsReadAndWriteErrors) {
  std::string data = lz::testing::Compress(std::string(100000, 'q') + "tail");
  size_t reads = 0;
  auto failingRead = [&](uint8_t* buffer, size_t size) -> ptrdiff_t {
    if (++reads == 3) return -1;
    std::memset(buffer, 0xFF, size);  // literals only
    return static_cast<ptrdiff_t>(size);
  };
  auto r = lz::ExpandLzss(failingRead, [](const uint8_t*, size_t) { return true; }, 64, 64);
  EXPECT_EQ(r.status, lz::ExpandStatus::ReadError);

  size_t pos = 0, writes = 0;
  auto read = [&](uint8_t* buffer, size_t size) {
    size_t n = std::min(size, data.size() - pos);
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return static_cast<ptrdiff_t>(n);
  };
  r = lz::ExpandLzss(read, [&](const uint8_t*, size_t) { return ++writes < 2; }, 64, 1000);
  EXPECT_EQ(r.status, lz::ExpandStatus::WriteError);
  EXPECT_EQ(writes, 2u);
  EXPECT_GT(r.written, 0u);
  EXPECT_LT(r.written, 100004u);
}

// The test encoder must produce data the decoder and the plain decoder agree
// on, or the benchmark's input would prove nothing.
TEST(SzddStreaming, TestEncoderRoundTrips) {
  std::string plain = ReadTestdata("mixed.bin") + ReadTestdata("gb2312.txt") + std::string(5000, ' ');
  std::string packed = lz::testing::Compress(plain);
  EXPECT_LT(packed.size(), plain.size());
  EXPECT_EQ(ReferenceExpand(packed), plain);
  EXPECT_EQ(lz::ExpandLzss(packed), plain);
}

}  // namespace
