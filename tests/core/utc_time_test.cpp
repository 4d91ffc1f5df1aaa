// The time of the run log's rows, which scripts and spreadsheets sort and compare.
#include "platform/utc_time.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

TEST(UtcTime, IsWrittenToTheSecondWithItsFractionCutOff) {
    struct Case {
        long long seconds;
        int milliseconds;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "1970-01-01T00:00:00Z"},
        {951868799, 999, "2000-02-29T23:59:59Z"},
        {1796652202, 500, "2026-12-07T14:03:22Z"},
        {4107542400, 1, "2100-03-01T00:00:00Z"},
    };
    for (const Case& c : cases) {
        const std::chrono::system_clock::time_point time{std::chrono::seconds(c.seconds) +
                                                         std::chrono::milliseconds(c.milliseconds)};
        EXPECT_EQ(IsoTimeUtc(time), c.text) << c.seconds;
    }
}

}  // namespace
}  // namespace vek::test
