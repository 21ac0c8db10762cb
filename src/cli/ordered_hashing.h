#pragma once
// Describing many files on several threads, with the reports written in the order of the files.
#include "cli/file_report.h"

#include <cstddef>
#include <cstdint>
#include <functional>

using DescribeFile = std::function<FileReport(size_t index)>;
using WriteReports = std::function<void(const FileReport* const* reports, size_t count)>;

// Describes files 0 .. count-1 on `jobs` threads, the calling thread among them (fewer when the
// system cannot start that many; at least the calling thread), and hands the
// reports to `write` in index order as soon as a report and all before it are ready; `write`
// is never called twice at once. Threads take files by an atomic index and nobody waits for a
// file another thread is on: whichever thread finds reports ready writes them.
void ReportInOrder(size_t count, uint32_t jobs, const DescribeFile& describe,
                   const WriteReports& write);
