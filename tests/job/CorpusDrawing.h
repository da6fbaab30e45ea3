#pragma once
#include <gtest/gtest.h>

#include <string>

#include "import/DrawingFile.h"
#include "model/JobModel.h"
#include "system/System.h"

namespace corvane::testing {

// A drawing by someone else, read with the program's reader: every path of
// more than one vertex becomes a cutting contour.
inline tCNCPath ReadCorpusJob(System& system, const std::string& file) {
  TPaths paths;
  TDXF dxf;
  const DrawingLoad load = ReadDrawingFile(file, DrawingFormatFor(file), ImportOptions{},
                                           system.parser, system.log, paths, dxf, true);
  EXPECT_TRUE(load.ok) << load.error;
  tCNCPath job;
  for (const TPath& path : paths) {
    if (path.size() < 3) continue;
    CNCpath contour{{kKindCut, 0}};
    for (std::size_t i = 1; i < path.size(); ++i)
      contour.push_back(
          {static_cast<std::int32_t>(path[i].X), static_cast<std::int32_t>(path[i].Y)});
    job.push_back(std::move(contour));
  }
  return job;
}

}  // namespace corvane::testing
