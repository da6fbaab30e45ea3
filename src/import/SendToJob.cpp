#include "import/SendToJob.h"

#include "model/JobNormalise.h"
#include "store/JobFile.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace corvane {

bool SendImportToJob(System& system, const ImportSession& session, const ImportProcessOptions& options) {
  if (system.RefusedWhileBusy()) return false;
  auto job = session.JobContours(options);
  if (!job) {
    system.host.showError("The drawing is too large for a job: the job is kept");
    return false;
  }
  if (job->empty()) {
    // Nothing drawn on any layer: sending would only throw the job away.
    system.host.showError("Nothing to send: the job is kept");
    return false;
  }
  const std::string notCut = NotCutNotice(session);
  if (!notCut.empty() && system.host.ask(notCut + "\nSend to job?", Buttons::YesNo) != Answer::Yes) {
    system.log.WriteLog("Send to job cancelled: " + notCut);
    return false;
  }
  const std::size_t contours = job->size();
  // On a profile the drawing is centred on the top face.
  const std::optional<std::int32_t> profileWidth =
      system.rotary.profile() ? std::optional(system.rotary.tube.width) : std::nullopt;
  ReplaceJob(system.job, std::move(*job), profileWidth);
  system.store.JobSentFromImport = true;
  SaveSettings(system);
  WriteJobFile(system, StoreFile(system.paths, kTempJob));
  system.log.WriteLog("Job from import: " + std::to_string(contours) + " contours" +
                      (notCut.empty() ? "" : "; " + notCut));
  system.host.requestRedraw();
  return true;
}

std::string NotCutNotice(const ImportSession& session) {
  const std::size_t holes = session.TooSmallHoles();
  const std::size_t outlines = session.tooSmall().size() - holes;
  auto sentence = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many) + " smaller than the tool " +
           (n == 1 ? "is" : "are") + " not cut";
  };
  std::string notice;
  if (holes > 0) notice = sentence(holes, "hole", "holes");
  if (outlines > 0) notice += (notice.empty() ? "" : "; ") + sentence(outlines, "contour", "contours");
  return notice;
}

}  // namespace corvane
