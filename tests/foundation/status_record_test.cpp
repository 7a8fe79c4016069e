#include "foundation/status_record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace zor {
namespace {

using ::testing::ElementsAre;

std::vector<TraceMark> TrailOf(const ZorException& exception) {
  return std::vector<TraceMark>(exception.Trail().begin(), exception.Trail().end());
}

TEST(MakeStatus, ZeroIsEmptyAndOtherCodesAreHeldExactly) {
  EXPECT_TRUE(MakeStatus(0).Empty());
  EXPECT_FALSE(MakeStatus(0).Failed());

  const StatusRecord informational = MakeStatus(status::WaitAbandoned);
  ASSERT_FALSE(informational.Empty());
  EXPECT_FALSE(informational.Failed());
  EXPECT_EQ(informational.Code(), CodeFromBits(0x60010003));

  const StatusRecord failure = MakeStatus(status::WaitTimedOut);
  ASSERT_TRUE(failure.Failed());
  EXPECT_EQ(failure.Exception()->Cause(), nullptr);
  EXPECT_TRUE(failure.Exception()->Parameters().empty());
  EXPECT_THAT(TrailOf(*failure.Exception()), ElementsAre(TraceMark::Created));
  EXPECT_STREQ(failure.Exception()->ClassName(), "ZorException");
}

TEST(StatusRecord, CopiesShareOneBlockUntilTheLastIsDropped) {
  StatusRecord first = MakeStatus(status::GenericFailure);
  EXPECT_EQ(first.ShareCount(), 1);
  {
    StatusRecord second = first;
    EXPECT_EQ(first.ShareCount(), 2);
    EXPECT_EQ(second.Exception(), first.Exception());
  }
  EXPECT_EQ(first.ShareCount(), 1);
  StatusRecord moved = std::move(first);
  EXPECT_TRUE(first.Empty());
  EXPECT_EQ(moved.ShareCount(), 1);
}

StatusRecord Level3() { return MakeStatus(status::InvalidArgument); }
StatusRecord Level2() { return PassOn(Level3()); }
StatusRecord Level1() { return PassOn(Level2()); }
StatusRecord Level0() { return PassOn(Level1()); }

TEST(PassOn, ThreeLevelsLeaveThreeMarksAboveCreated) {
  const StatusRecord record = Level0();
  EXPECT_EQ(record.Code(), status::InvalidArgument);
  EXPECT_THAT(TrailOf(*record.Exception()),
              ElementsAre(TraceMark::PassedOn, TraceMark::PassedOn, TraceMark::PassedOn, TraceMark::Created));
}

TEST(PassOn, MakesAFreshRecordAndLeavesTheOriginalAlone) {
  const StatusRecord original = MakeStatus(status::GenericFailure);
  const StatusRecord passed = PassOn(original);
  EXPECT_NE(passed.Exception(), original.Exception());
  EXPECT_THAT(TrailOf(*original.Exception()), ElementsAre(TraceMark::Created));
}

TEST(PassOn, ASuccessIsReturnedAsItIs) {
  const StatusRecord informational = MakeStatus(status::OwnFolderSupplied);
  const StatusRecord passed = PassOn(informational);
  EXPECT_EQ(passed.Exception(), informational.Exception());
  EXPECT_TRUE(PassOn(StatusRecord()).Empty());
}

TEST(ThrowIfFailed, ThrowsACopyWithAThrownMarkAndTheEntryPointAddsCaught) {
  try {
    ThrowIfFailed(Level0());
    FAIL() << "nothing was thrown";
  } catch (ZorException& caught) {
    caught.PushMark(TraceMark::Caught);
    EXPECT_EQ(caught.Code(), status::InvalidArgument);
    EXPECT_THAT(TrailOf(caught), ElementsAre(TraceMark::Caught, TraceMark::Thrown, TraceMark::PassedOn,
                                             TraceMark::PassedOn, TraceMark::PassedOn, TraceMark::Created));
  }
}

TEST(ThrowIfFailed, SuccessesDoNotThrow) {
  EXPECT_NO_THROW(ThrowIfFailed(StatusRecord()));
  EXPECT_NO_THROW(ThrowIfFailed(MakeStatus(status::WaitAbandoned)));
  EXPECT_NO_THROW(ThrowIfFailed(status::OwnFolderSupplied));
  EXPECT_THROW(ThrowIfFailed(status::WaitTimedOut), ZorException);
}

TEST(ExceptionFromStatus, CopiesOrMakesAFreshSuccess) {
  const ZorException fromFailure = ExceptionFromStatus(Level1());
  EXPECT_EQ(fromFailure.Code(), status::InvalidArgument);
  EXPECT_THAT(TrailOf(fromFailure), ElementsAre(TraceMark::PassedOn, TraceMark::PassedOn, TraceMark::Created));

  const ZorException fromEmpty = ExceptionFromStatus(StatusRecord());
  EXPECT_EQ(fromEmpty.Code(), 0);
  EXPECT_THAT(TrailOf(fromEmpty), ElementsAre(TraceMark::Created));
}

TEST(AddParameter, RendersIntegersAsPlainSignedDecimal) {
  const struct {
    std::int32_t value;
    const wchar_t* text;
  } rows[] = {
      {0, L"0"}, {7, L"7"}, {-7, L"-7"}, {1000, L"1000"}, {INT_MAX, L"2147483647"}, {INT_MIN, L"-2147483648"},
  };
  ZorException exception(status::GenericFailure);
  for (const auto& row : rows) AddParameter(exception, L"%VALUE%", row.value);
  ASSERT_EQ(exception.Parameters().size(), std::size(rows));
  // Newest first.
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].value);
    EXPECT_EQ(exception.Parameters()[std::size(rows) - 1 - i].value, rows[i].text);
    EXPECT_EQ(exception.Parameters()[std::size(rows) - 1 - i].name, L"%VALUE%");
  }
  AddParameter(exception, L"%NAME%", L"text");
  EXPECT_EQ(exception.Parameters().front().value, L"text");
}

TEST(ZorException, CopiesAreDeepIncludingTheCause) {
  ZorException inner(status::WaitTimedOut);
  AddParameter(inner, L"%CHECK_POINT%", 3);
  ZorException outer(status::GenericFailure);
  AttachCause(outer, StatusRecord::Holding(inner));

  ZorException copy = outer;
  ASSERT_NE(copy.Cause(), nullptr);
  EXPECT_NE(copy.Cause(), outer.Cause());
  EXPECT_EQ(copy.Cause()->Code(), status::WaitTimedOut);
  EXPECT_EQ(copy.Cause()->Parameters().front().value, L"3");
}

TEST(MakeStatusFromCause, KeepsTheUnderlyingSeverityAndAttachesIt) {
  const StatusRecord warning = MakeStatus(status::WaitTimedOut);  // 0xA0010004
  const StatusRecord own = MakeStatusFromCause(CodeFromBits(0xE0010066), warning);
  EXPECT_EQ(static_cast<std::uint32_t>(own.Code()), 0xA0010066u);
  ASSERT_NE(own.Exception()->Cause(), nullptr);
  EXPECT_EQ(own.Exception()->Cause()->Code(), status::WaitTimedOut);
  EXPECT_THAT(TrailOf(*own.Exception()), ElementsAre(TraceMark::PassedOn, TraceMark::Created));
}

}  // namespace
}  // namespace zor
