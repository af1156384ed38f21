// The guard every handler runs in, and the mapping of failures onto numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "common/TestSupport.h"
#include "support/errors/Errors.h"

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
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 30);
    EXPECT_EQ(reporter.reports[0].number, 13);
    EXPECT_EQ(reporter.reports[0].description, "Type mismatch");
}

TEST(DescribeException, MapsStandardFailuresOntoStableNumbers) {
    namespace fs = std::filesystem;
    const auto make = [](auto e) { return std::make_exception_ptr(e); };
    const auto system = [](std::errc code) {
        return std::make_exception_ptr(std::system_error(std::make_error_code(code)));
    };
    struct Case {
        std::exception_ptr error;
        std::int32_t number;
        const char* description;  // nullptr: any words, not empty
    };
    // clang-format off
    const Case cases[] = {
        {make(Error(errnum::DiskFull)), 61, nullptr},
        {make(Error(errnum::Registry, "Access Denied")), -10000, "Access Denied"},
        {make(std::out_of_range("row")), 9, nullptr},
        {make(std::overflow_error("big")), 6, nullptr},
        {make(std::bad_alloc()), 7, nullptr},
        {make(fs::filesystem_error("open", std::make_error_code(std::errc::no_such_file_or_directory))), 53, nullptr},
        {system(std::errc::not_a_directory), 76, nullptr},
        {system(std::errc::permission_denied), 70, nullptr},
        {system(std::errc::no_space_on_device), 61, nullptr},
        {system(std::errc::no_such_device), 68, nullptr},
        {make(std::logic_error("odd")), 5, nullptr},
    };
    // clang-format on
    for (const Case& c : cases) {
        const ErrorInfo info = DescribeException(c.error);
        EXPECT_EQ(info.number, c.number);
        EXPECT_NE(info.description, "") << c.number;
        if (c.description != nullptr) {
            EXPECT_EQ(info.description, c.description);
        }
    }
}

}  // namespace
}  // namespace tavrino
