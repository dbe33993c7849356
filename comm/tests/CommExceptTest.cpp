#include "comm/CommExcept.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <typeindex>

namespace {

using namespace comm;

template <typename T>
bool Is(const std::exception& e) {
  return dynamic_cast<const T*>(&e) != nullptr;
}

struct Row {
  std::int32_t code;
  std::function<bool(const std::exception&)> isLeaf;
  std::function<bool(const std::exception&)> isGroup;
  std::uint16_t id;
  const char* text;
  std::int32_t errorCode;  // ErrorCode (EVnkException) or error number (EInOutError)
};

TEST(CommExcept, CodesRaiseTheirClassIdAndText) {
  const std::vector<Row> rows = {
      {-2011, Is<ENoPortSelected>, Is<EOpenComm>, 11211,
       "The ComNumber property of the TVnkComPort has not been set", -2011},
      {-3006, Is<EOutputBufferTooSmall>, Is<ESerialIO>, 11306, "Output buffer too small for block", -3006},
      {-2001, Is<EBadId>, Is<EOpenComm>, 11201, "ie_BadId - Specified comport doesn't exist", -2001},
      {-2008, Is<EAlreadyOpen>, Is<EOpenComm>, 11208, "ie_Open - device already open", -2008},
      {-1001, Is<EBadHandle>, Is<EGeneral>, 11101, "Bad handle passed to com function", -1001},
      {-4002, Is<EModemBusy>, Is<EModem>, 11402, "Modem is busy elsewhere", -4002},
      {-5003, Is<EBadTriggerHandle>, Is<ETrigger>, 11503, "Bad trigger handle", -5003},
      {-2, Is<EInOutError>, Is<EInOutError>, 11002, "File not found", 2},
      {-162, Is<EInOutError>, Is<EInOutError>, 11962, "General failure", 162},
      {-8, Is<EOutOfMemory>, Is<EOutOfMemory>, 11008, "Insufficient memory", 0},
      {-3, Is<EInOutError>, Is<EInOutError>, 11003, "Path not found", 3},
      {-103, Is<EInOutError>, Is<EInOutError>, 11903, "File/device not open", 103},
      {-31, Is<EInOutError>, Is<EInOutError>, 11031, "", 31},
      {-1, Is<EVnkException>, Is<EVnkException>, 11001, "Venk exception", 0},
      {-163, Is<EVnkException>, Is<EVnkException>, 11963, "Venk exception", 0},
      {-3010, Is<EVnkException>, Is<EVnkException>, 11310, "Venk exception", 0},
      {-7003, Is<EInternal>, Is<EGeneral>, 11703, "", -7003},
      {-1006, Is<EInternal>, Is<EGeneral>, 11106, "Internal error creating window class", -1006},
      {-6008, Is<EProtocol>, Is<EVnkException>, 11608, "", -6008},
      {-8074, Is<EFaxBusy>, Is<EFax>, 11874, "", -8074},
      {-7010, Is<EDatabaseFull>, Is<EINI>, 11710, "", -7010},
      {-13805, Is<ETapiCallUnavail>, Is<ETapi>, 13805, "", -13805},
      {-13850, Is<ETapiInvalParam>, Is<ETapi>, 13850, "", -13850},
      {-13886, Is<ETapiNoMultipleInstance>, Is<ETapi>, 13886, "", -13886},
      {-13928, Is<ETapiBusy>, Is<ETapi>, 13228, "", -13928},
      {-13933, Is<ETapi16Disabled>, Is<ETapi>, 13233, "", -13933},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    EXPECT_EQ(ErrorCodeToMessageId(row.code), row.id);
    bool raised = false;
    try {
      RaiseForErrorCode(row.code);
    } catch (const std::exception& e) {
      raised = true;
      EXPECT_TRUE(row.isLeaf(e));
      EXPECT_TRUE(row.isGroup(e));
      EXPECT_EQ(std::string(e.what()), row.text);
      if (const auto* vnk = dynamic_cast<const EVnkException*>(&e)) EXPECT_EQ(vnk->ErrorCode(), row.errorCode);
      else if (const auto* io = dynamic_cast<const EInOutError*>(&e)) EXPECT_EQ(io->ErrorCode(), row.errorCode);
      else EXPECT_TRUE(Is<EOutOfMemory>(e));
    }
    EXPECT_TRUE(raised);
  }
}

TEST(CommExcept, UnclassedCodesAreNotInAnyGroup) {
  for (std::int32_t code : {-1, -163, -1010, -3010, -6007, -13804, -13849, -13934}) {
    SCOPED_TRACE(code);
    try {
      RaiseForErrorCode(code);
      ADD_FAILURE() << "nothing raised";
    } catch (const EVnkException& e) {
      EXPECT_EQ(typeid(e), typeid(EVnkException));
      EXPECT_EQ(e.ErrorCode(), 0);
      EXPECT_STREQ(e.what(), "Venk exception");
    }
  }
}

TEST(CommExcept, EveryRowHasItsOwnLeafBelowItsGroup) {
  std::set<std::type_index> classes;
  int rows = 0;
#define CHECK_ROW(code, Name, Group)                         \
  ++rows;                                                    \
  try {                                                      \
    RaiseForErrorCode(code);                                 \
    ADD_FAILURE() << code;                                   \
  } catch (const Group& e) {                                 \
    EXPECT_EQ(typeid(e), typeid(E##Name)) << code;           \
    EXPECT_EQ(e.ErrorCode(), code);                          \
    EXPECT_EQ(e.what(), LoadMessageText(ErrorCodeToMessageId(code))); \
    classes.insert(typeid(e));                               \
  }
  COMM_ERROR_ROWS(CHECK_ROW)
#undef CHECK_ROW
  EXPECT_EQ(rows, 156);
  EXPECT_EQ(classes.size(), 156u);  // one class a row: no two rows share a leaf
  // With the nine groups, 165 classes stand below the root.
}

TEST(CommExcept, NonNegativeCodesAndLoadingNeverRaise) {
  EXPECT_EQ(RaiseForErrorCode(0), 0);
  EXPECT_EQ(RaiseForErrorCode(7), 7);
  EXPECT_EQ(RaiseForErrorCode(true, -2011), -2011);
  EXPECT_EQ(RaiseForErrorCode(true, -8), -8);
}

TEST(CommExcept, LeafCreatedDirectlyCarriesTheSameMessage) {
  const EAlreadyDialing e(kErrAlreadyDialing);
  EXPECT_EQ(e.ErrorCode(), -4005);
  EXPECT_STREQ(e.what(), "Dialer is already dialing");
  const EModemBusy fromText(std::string("custom"));
  EXPECT_EQ(fromText.ErrorCode(), 0);
  EXPECT_STREQ(fromText.what(), "custom");
}

TEST(CommExcept, MessageIdRule) {
  EXPECT_EQ(ErrorCodeToMessageId(-2011), 11211);
  EXPECT_EQ(ErrorCodeToMessageId(-100), 11900);
  EXPECT_EQ(ErrorCodeToMessageId(-199), 11999);
  EXPECT_EQ(ErrorCodeToMessageId(-13800), 13800);
  EXPECT_EQ(ErrorCodeToMessageId(-13900), 13900);
  EXPECT_EQ(ErrorCodeToMessageId(-13901), 13201);
  EXPECT_EQ(ErrorCodeToMessageId(-99), 11099);
}

}  // namespace
