#pragma once
// A list printout of the record views: TAB lines (the first the column captions) printed as
// a grid under a title, through a temporary print file.

#include <string>
#include <vector>

struct TPrintField;

// The cells of a TAB line whose column is ticked in `fields`; cells past the list are
// dropped.
std::string KeepTickedColumns(const std::string& line, const std::vector<TPrintField>& fields);

// False when nothing could be printed.
bool PrintTitledLines(const std::string& title, const std::vector<std::string>& lines);
