#include "FuzzSupport.h"
#include "import/DxfModel.h"

// Reads and renders the preview, then renders again at full quality as the
// import window does after a change of units.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static corvane::fuzz::ReaderContext context;
  const auto options = corvane::fuzz::OptionsFrom(data, size);
  corvane::TPaths paths;
  corvane::TDXF dxf;
  std::string error;
  if (!corvane::ReadDxf(corvane::fuzz::TextFrom(data, size), options, context.log, dxf, paths,
                        error))
    return 0;
  dxf.ApplyImportUnits(options);
  dxf.Render(true, options, context.log, paths);
  return 0;
}
