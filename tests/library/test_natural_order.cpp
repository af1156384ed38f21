// The folder list's order: as a file manager shows the folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/NaturalOrder.h"

namespace tavrino::library {
namespace {

TEST(NaturalOrder, SortsAsFileManagersDo) {
    struct Case {
        const char* what;
        std::vector<std::string> names;  // in the expected order
    };
    // clang-format off
    const Case cases[] = {
        {"digit runs compare as numbers", {"img2.jpg", "img10.jpg", "img100.jpg"}},
        {"zero-padded numbers",           {"img_00875.jpg", "img_01620.jpg", "img_02992.jpg", "img_10000.jpg"}},
        {"letter case is ignored",        {"apple.jpg", "Banana.jpg", "cherry.jpg", "DATE.jpg"}},
        {"case alone: bytes decide",      {"Photo.jpg", "photo.jpg"}},
        {"accents sit by their letter",   {"cafe.jpg", "caf\xc3\xa9s.jpg", "cafz.jpg", "\xc3\xa9t\xc3\xa9.jpg", "fall.jpg"}},
        {"names that are not UTF-8",      {"a.jpg", "b\xe9.jpg", "b\xff.jpg", "c.jpg"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::vector<std::string> shuffled(c.names.rbegin(), c.names.rend());
        SortNaturally(shuffled);
        EXPECT_EQ(shuffled, c.names) << c.what;
    }
}

}  // namespace
}  // namespace tavrino::library
