#include <gtest/gtest.h>

#include "ResultCode.h"

TEST(ResultCode, NestingRecordsThePathOfFailingSteps) {
  EXPECT_EQ(Result::fail(1), 0x80000001ull);
  EXPECT_EQ(Result::nest(2, Result::fail(1)), 0x880000012ull);
  // Three levels deep the value no longer fits 32 bits, yet still reads as a failure.
  const ResultCode deep = Result::nest(3, Result::nest(2, Result::fail(1)));
  EXPECT_EQ(deep, 0x8880000123ull);
  EXPECT_TRUE(Result::failed(deep));
}

TEST(ResultCode, FailureIsReadFromTheLowWordOnly) {
  EXPECT_FALSE(Result::failed(0));
  EXPECT_TRUE(Result::failed(0x80000000ull));
  EXPECT_FALSE(Result::failed(0x7FFFFFFFull));
  // High bits alone are not a failure.
  EXPECT_FALSE(Result::failed(0x800000000ull));
  EXPECT_TRUE(Result::succeeded(0x100000000ull));
}
