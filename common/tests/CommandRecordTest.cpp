#include <gtest/gtest.h>

#include <filesystem>

#include "TestBytes.h"
#include "common/CommandRecord.h"
#include "platform/BinaryFile.h"

using namespace cmdfile;
using testbytes::Bytes;

namespace {

struct WorkedRecord {
  std::string text;
  std::uint16_t crc;
  std::vector<std::uint8_t> record;
};

class WorkedRecords : public ::testing::TestWithParam<WorkedRecord> {};

TEST_P(WorkedRecords, CrcAndBytesMatchTheLayout) {
  const WorkedRecord& w = GetParam();
  EXPECT_EQ(CalcCRC(w.text), w.crc);
  std::string encoded = EncodeRecord(w.text, CalcCRC(w.text));
  EXPECT_EQ(std::vector<std::uint8_t>(encoded.begin(), encoded.end()), w.record);
}

INSTANTIATE_TEST_SUITE_P(
    Records, WorkedRecords,
    ::testing::Values(
        WorkedRecord{"{E}", 0x1861, Bytes({0x05, 0x00, 0x7B, 0x45, 0x7D, 0x18, 0x61})},
        WorkedRecord{"{CA}", 0x007A, Bytes({0x06, 0x00, 0x7B, 0x43, 0x41, 0x7D, 0x00, 0x7A})},
        WorkedRecord{"{Z}", 0xFBBF, Bytes({0x05, 0x00, 0x7B, 0x5A, 0x7D, 0xFB, 0xBF})},
        WorkedRecord{"{123456789}", 0x31C3,
                     Bytes({0x0D, 0x00, 0x7B, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x7D, 0x31,
                            0xC3})},
        WorkedRecord{"", 0, Bytes({0x02, 0x00, 0x00, 0x00})},
        WorkedRecord{"a", 0, Bytes({0x03, 0x00, 0x61, 0x00, 0x00})},
        WorkedRecord{"ab", 0, Bytes({0x04, 0x00, 0x61, 0x62, 0x00, 0x00})},
        WorkedRecord{"abc", 0x4CE4, Bytes({0x05, 0x00, 0x61, 0x62, 0x63, 0x4C, 0xE4})},
        WorkedRecord{"xEy", 0x1861, Bytes({0x05, 0x00, 0x78, 0x45, 0x79, 0x18, 0x61})}));

TEST(CrcTable, EntriesOfThePolynomial) {
  EXPECT_EQ(CRCTable[0], 0x0000);
  EXPECT_EQ(CRCTable[1], 0x1021);
  EXPECT_EQ(CRCTable[2], 0x2042);
  EXPECT_EQ(CRCTable[3], 0x3063);
  EXPECT_EQ(CRCTable[0x45], 0x1861);
  EXPECT_EQ(CRCTable[255], 0x1EF0);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(CRCTable[i], testbytes::BitwiseCrc(std::string(1, static_cast<char>(i)))) << i;
  }
}

TEST(CalcCRC, IsXmodemOverTheInnerBytes) {
  EXPECT_EQ(testbytes::BitwiseCrc("123456789"), 0x31C3);  // the published check value
  std::string text = "{T,~s,^FL^RH^T5A/{}";
  EXPECT_EQ(CalcCRC(text), testbytes::BitwiseCrc(text.substr(1, text.size() - 2)));
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
  EXPECT_EQ(CalcCRC(binary), testbytes::BitwiseCrc(binary.substr(1, 254)));
}

TEST(EncodeRecord, LengthIsLittleEndianCrcBigEndian) {
  std::string text(300, 'x');
  std::string r = EncodeRecord(text, 0xABCD);
  ASSERT_EQ(r.size(), 304u);
  EXPECT_EQ(static_cast<unsigned char>(r[0]), 0x2E);  // 302 = 0x012E
  EXPECT_EQ(static_cast<unsigned char>(r[1]), 0x01);
  EXPECT_EQ(static_cast<unsigned char>(r[302]), 0xAB);
  EXPECT_EQ(static_cast<unsigned char>(r[303]), 0xCD);
}

TEST(WriteRecord, TooLongTextIsRefusedBeforeAnyByte) {
  namespace fs = std::filesystem;
  fs::path p = fs::temp_directory_path() / ("toolong-" + std::to_string(::getpid()) + ".MSG");
  platform::AtomicFileWriter w(p.string());
  WriteRecord(w, std::string(kMaxRecordText, 'y'), 0);  // the longest text still fits
  EXPECT_THROW(WriteRecord(w, std::string(kMaxRecordText + 1, 'z'), 0), RecordTooLong);
  w.Commit();
  auto bytes = platform::ReadWholeFile(p.string());
  EXPECT_EQ(bytes.size(), kMaxRecordText + 4) << "nothing of the refused record was written";
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFF);
  fs::remove(p);
}

TEST(CommandFileReader, WalksRecordsByTheirLengthWords) {
  auto file = testbytes::Concat({testbytes::Record("{E}", 0x1861), testbytes::Record("", 0),
                                 testbytes::Record("{CA}", 0x007A)});
  auto records = ReadCommandRecords(file);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text, "{E}");
  EXPECT_EQ(records[0].crc, 0x1861);
  EXPECT_EQ(records[0].Payload(), std::string("{E}\x18\x61", 5));
  EXPECT_EQ(records[1].text, "");
  EXPECT_EQ(records[2].crc, 0x007A);
}

TEST(CommandFileReader, RefusesCutOrShortRecords) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::size_t okRecords;
    std::size_t badOffset;
  };
  auto e = testbytes::Record("{E}", 0x1861);
  std::vector<Case> cases = {
      {Bytes({0x05}), 0, 0},                                          // length word cut off
      {Bytes({0x05, 0x00, 0x7B, 0x45}), 0, 0},                        // body cut off
      {testbytes::Concat({e, Bytes({0x01, 0x00, 0x41})}), 1, 7},      // length below 2
      {testbytes::Concat({e, Bytes({0x00, 0x00})}), 1, 7},            // length 0
      {testbytes::Concat({e, e, Bytes({0x09, 0x00, 0x41})}), 2, 14},  // last record cut off
  };
  for (const Case& c : cases) {
    CommandFileReader reader(c.bytes);
    for (std::size_t i = 0; i < c.okRecords; ++i) ASSERT_TRUE(reader.Next());
    try {
      reader.Next();
      ADD_FAILURE() << "a malformed record must be refused";
    } catch (const BadCommandFile& bad) {
      EXPECT_EQ(bad.offset(), c.badOffset);
    }
  }
}

}  // namespace
