#pragma once

#include "core/values/Values.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

// Built-in knowledge of which applications belong to which category, by display name. The sets
// are made once, on first use, and never change; they may be read from any thread.
namespace parlune::AppCategoryMapping {

const std::set<std::string>& workApps();
const std::set<std::string>& socialApps();
const std::set<std::string>& codeApps();

// The categories of the application with this display name, each at most once, in the order work,
// social, code; empty when it is in no set. Leading and trailing spaces and tabs are ignored.
//
// A name belongs to a set when some entry equals it under a locale-aware case-insensitive
// comparison, or when the entry has at least 4 characters and the lower-cased name begins with the
// lower-cased entry (so "Adobe Photoshop 2026" is work while "Arcade" is not "Arc").
std::vector<AppCategory> categories(std::string_view appName);

}  // namespace parlune::AppCategoryMapping
