// The order of names in the folder list: as file managers show a folder.
#pragma once

#include <string>
#include <vector>

namespace tavrino::library {

// Sorts file names by the user's language, without regard to letter case, with runs of digits
// compared as numbers ("img2" before "img10") and accented letters beside their plain ones.
// Names that still compare equal (only case differs, or bytes that are not UTF-8) keep a fixed
// order by their bytes, so the list never shuffles between two listings.
void SortNaturally(std::vector<std::string>& names);

}  // namespace tavrino::library
