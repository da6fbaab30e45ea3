#pragma once
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/FieldStore.h"

namespace corvane::fuzz {

// What every store reader needs: fields, a parser and a log that writes no file.
struct StoreReaderKit {
  FakeClock clock;
  SilentHost host;
  ProgramLog log{clock, nullptr};
  NumberParser parser{log, &host};
  FieldStore fields;
};

}  // namespace corvane::fuzz
