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
  const std::size_t contours = job->size();
  // On a profile the drawing is centred on the top face.
  const std::optional<std::int32_t> profileWidth =
      system.rotary.profile() ? std::optional(system.rotary.tube.width) : std::nullopt;
  ReplaceJob(system.job, std::move(*job), profileWidth);
  system.store.JobSentFromImport = true;
  SaveSettings(system);
  WriteJobFile(system, StoreFile(system.paths, kTempJob));
  system.log.WriteLog("Job from import: " + std::to_string(contours) + " contours");
  system.host.requestRedraw();
  return true;
}

}  // namespace corvane
