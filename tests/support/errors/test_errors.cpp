// The guard every handler runs in, and the mapping of failures onto numbers.
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <system_error>
#include <tuple>

#include "common/TestSupport.h"

namespace tavrino {
namespace {

TEST(Guarded, EndsOnlyItsOwnHandlerAtTheFailingStatementAndReportsItsLocation) {
    test::RecordingReporter reporter;
    std::vector<int> ran;
    bool inner = true;
    const bool outer = Guarded(reporter, loc::TmrShowNextTick, [&] {
        inner = Guarded(reporter, loc::MainLoad, [&] {
            ran.push_back(1);
            throw Error(errnum::TypeMismatch);
        });
        IgnoringErrors([] { throw std::runtime_error("network down"); });
        ran.push_back(2);  // the caller goes on
    });
    EXPECT_FALSE(inner);
    EXPECT_TRUE(outer);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    ASSERT_EQ(reporter.Locations(), std::vector<int>{30});
    EXPECT_EQ(std::to_string(reporter.reports[0].number) + reporter.reports[0].description,
              "13Type mismatch");
}

TEST(DescribeException, MapsStandardFailuresOntoStableNumbers) {
    const auto make = [](auto e) { return std::make_exception_ptr(e); };
    const auto system = [](std::errc code) {
        return std::make_exception_ptr(std::system_error(std::make_error_code(code)));
    };
    // clang-format off
    const std::tuple<std::exception_ptr, std::int32_t, const char*> cases[] = {  // "": any words
        {make(Error(errnum::DiskFull)), 61, ""}, {make(Error(errnum::Registry, "Denied")), -10000, "Denied"},
        {make(std::out_of_range("row")), 9, ""}, {make(std::bad_alloc()), 7, ""},
        {make(std::filesystem::filesystem_error("open", std::make_error_code(std::errc::no_such_file_or_directory))), 53, ""},
        {system(std::errc::permission_denied), 70, ""}, {system(std::errc::no_space_on_device), 61, ""},
    };
    // clang-format on
    for (const auto& [error, number, description] : cases) {
        const ErrorInfo info = DescribeException(error);
        EXPECT_EQ(info.number, number);
        EXPECT_NE(info.description, "") << number;
        EXPECT_TRUE(*description == '\0' || info.description == description) << number;
    }
}

}  // namespace
}  // namespace tavrino
