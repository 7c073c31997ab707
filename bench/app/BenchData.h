// Shop-sized databases for the benchmarks, and timing helpers.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// Creates `file` (if missing) with `goods` goods rows and `sales` sales lines.
void MakeShopDatabase(const std::string& file, int goods, int sales);

double Seconds(std::chrono::steady_clock::time_point from);
double Median(std::vector<double> v);
// Wall time of a shell command, in seconds.
double TimeCommand(const std::string& command);
