#include "cli/ProcessCommand.h"

#include <cstdio>

#include <algorithm>

#include "cli/ImportRequest.h"
#include "ports/FileIo.h"
#include "store/JobFile.h"

namespace corvane {
namespace {

const char* KindName(std::int32_t kind) {
  switch (kind) {
    case kKindCut: return "cut";
    case kKindMarker: return "marker";
    case kKindDisabled: return "disabled";
    default: return "line";
  }
}

std::string Millimetres(std::int64_t units) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(units) / 100);
  return text;
}

void PrintTimes(const ImportStageTimes& t, std::ostream& out) {
  char line[256];
  std::snprintf(line, sizeof line,
                "times ms: read %.1f  clean %.1f  nest %.1f  offset %.1f  parts %.1f  sort %.1f  leads %.1f\n",
                t.read * 1000, t.clean * 1000, t.nest * 1000, t.offset * 1000, t.group * 1000, t.sort * 1000,
                t.leads * 1000);
  out << line;
}

}  // namespace

std::string ProcessCommandUsage() {
  return "usage: corvane-cli process FILE [-o JOB.cnc|PROJECT.cvp2] [--times] [--quiet] [import options]\n";
}

int RunProcessCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  ImportCommandKit kit(err);
  const auto request =
      ReadImportCommand(arguments, {}, {"--times", "--quiet"}, kit, ProcessCommandUsage(), err);
  if (!request) return 2;
  const auto has = [&](const char* flag) {
    return std::find(request->extra.begin(), request->extra.end(), flag) != request->extra.end();
  };
  const bool times = has("--times"), quiet = has("--quiet");
  ImportSession session(kit.log);
  JobState state;
  if (const int code = ImportJob(*request, kit, session, state, err); code != 0) return code;
  std::size_t kinds[3] = {0, 0, 0}, vertices = 0, leads = 0;
  for (const LeadRecord& record : session.leads()) leads += record.size() > kLeadSegment && record[kLeadSegment].X >= 0 ? 1 : 0;
  for (const CNCpath& contour : state.Job) {
    const std::int32_t kind = ContourKindOf(contour);
    ++kinds[kind == kKindMarker ? 1 : (kind == kKindDisabled ? 2 : 0)];
    vertices += contour.size() - 1;
  }
  out << "processed " << request->drawing << ": " << kinds[0] << " cutting, " << kinds[1] << " marker, "
      << kinds[2] << " disabled contours, " << vertices << " vertices, " << leads << " leads, "
      << Millimetres(state.JobExtentX) << " x " << Millimetres(state.JobExtentY) << " mm\n";
  if (times) PrintTimes(session.times(), out);
  if (!quiet)
    for (std::size_t i = 0; i < state.Job.size(); ++i) {
      const CNCpath& c = state.Job[i];
      const ContourBox& box = state.ContourBoxes[i];
      out << i + 1 << " " << KindName(ContourKindOf(c)) << " " << c.size() - 1 << " vertices";
      if (c.size() > 1)
        out << " from " << Millimetres(c[1].x) << "," << Millimetres(c[1].y) << " box " << Millimetres(box.minX)
            << "," << Millimetres(box.minY) << " " << Millimetres(box.maxX) << "," << Millimetres(box.maxY);
      out << (c.size() > 2 && c[1] == c.back() ? " closed" : "") << "\n";
    }
  if (!request->output.empty()) {
    const std::optional<Point2> origin =
        HasOriginRecord(request->output) ? std::optional<Point2>(Point2{0, 0}) : std::nullopt;
    const FileResult written = WriteFileAtomically(request->output, EncodeJobFile(state.Job, origin, kit.log));
    if (!written) {
      err << "corvane-cli: " << request->output << ": " << written.error << "\n";
      return kExitNotWritten;
    }
    out << "wrote " << state.Job.size() << " contours to " << request->output << "\n";
  }
  return 0;
}

}  // namespace corvane
