#include "x3f/tail_repair.h"

namespace velkrane {

const char kTailFoundPrefix[] = "Post-processed successfully! - saved as ";
const char kNoTailMessage[] = "Failed to post-process - no file tail found.";
const char kOutOfMemoryError[] = "Out of memory while expanding memory stream";

}  // namespace velkrane
