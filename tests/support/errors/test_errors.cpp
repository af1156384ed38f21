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

using test::RecordingReporter;

TEST(Guarded, EndsTheHandlerAtTheFailingStatementAndReportsItsLocation) {
    RecordingReporter reporter;
    std::vector<int> ran;
    const bool finished = Guarded(reporter, loc::MainLoad, [&] {
        ran.push_back(1);
        throw Error(errnum::TypeMismatch);
        ran.push_back(2);  // NOLINT: must never run
    });
    EXPECT_FALSE(finished);
    EXPECT_EQ(ran, std::vector<int>{1});
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 30);
    EXPECT_EQ(reporter.reports[0].number, 13);
    EXPECT_EQ(reporter.reports[0].description, "Type mismatch");
}

TEST(Guarded, ReportsNothingWhenTheBodySucceeds) {
    RecordingReporter reporter;
    int value = 0;
    EXPECT_TRUE(Guarded(reporter, loc::TmrShowNextTick, [&] { value = 7; }));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(Guarded, ANestedHandlerReportsItsOwnErrorAndTheCallerGoesOn) {
    RecordingReporter reporter;
    bool callerWentOn = false;
    Guarded(reporter, loc::TmrShowNextTick, [&] {
        Guarded(reporter, loc::ComposeWallpaper, [] { throw Error(errnum::InvalidPicture); });
        callerWentOn = true;
    });
    EXPECT_TRUE(callerWentOn);
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 48);
    EXPECT_EQ(reporter.reports[0].number, 481);
}

TEST(IgnoringErrors, SkipsTheFailingStatementSilently) {
    int after = 0;
    IgnoringErrors([] { throw std::runtime_error("network down"); });
    after = 1;
    EXPECT_EQ(after, 1);
}

struct MappingCase {
    const char* name;
    std::exception_ptr error;
    std::int32_t number;
};

TEST(DescribeException, MapsStandardFailuresOntoStableNumbers) {
    namespace fs = std::filesystem;
    auto make = [](auto e) { return std::make_exception_ptr(e); };
    const std::vector<MappingCase> cases{
        {"ours", make(Error(errnum::DiskFull)), 61},
        {"registry", make(Error(errnum::Registry, "Key Not Found")), -10000},
        {"out of range", make(std::out_of_range("row")), 9},
        {"overflow", make(std::overflow_error("big")), 6},
        {"bad_alloc", make(std::bad_alloc()), 7},
        {"missing file",
         make(fs::filesystem_error("open",
                                   std::make_error_code(std::errc::no_such_file_or_directory))),
         53},
        {"not a folder", make(std::system_error(std::make_error_code(std::errc::not_a_directory))),
         76},
        {"denied", make(std::system_error(std::make_error_code(std::errc::permission_denied))), 70},
        {"disk full", make(std::system_error(std::make_error_code(std::errc::no_space_on_device))),
         61},
        {"device", make(std::system_error(std::make_error_code(std::errc::no_such_device))), 68},
        {"other", make(std::logic_error("odd")), 5},
    };
    for (const MappingCase& c : cases) {
        ErrorInfo info = DescribeException(c.error);
        EXPECT_EQ(info.number, c.number) << c.name;
        EXPECT_FALSE(info.description.empty()) << c.name;
    }
}

TEST(DescribeException, KeepsOurOwnDescription) {
    ErrorInfo info =
        DescribeException(std::make_exception_ptr(Error(errnum::Registry, "Access Denied")));
    EXPECT_EQ(info.description, "Access Denied");
}

TEST(DefaultDescription, EveryNamedNumberHasItsOwnWords) {
    const std::int32_t numbers[] = {errnum::TypeMismatch,      errnum::SubscriptOutOfRange,
                                    errnum::Overflow,          errnum::DivisionByZero,
                                    errnum::FileNotFound,      errnum::PathNotFound,
                                    errnum::PermissionDenied,  errnum::DiskFull,
                                    errnum::DeviceUnavailable, errnum::InvalidPicture};
    const std::string generic = DefaultDescription(123456);
    for (std::int32_t n : numbers) {
        EXPECT_NE(DefaultDescription(n), generic) << n;
    }
}

}  // namespace
}  // namespace tavrino
