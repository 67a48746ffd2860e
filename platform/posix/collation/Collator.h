// The one collator behind CompareText and AppendSortKey on POSIX.
#pragma once

#include "platform/posix/collation/IcuApi.h"

namespace Platform {

/// The collator for the user's collation locale with the Windows tailoring, opened on
/// first use (thread-safe; loads ICU). Threads share it: ICU's comparison, sort key and
/// element iteration only read it. Throws Exception when ICU cannot serve.
const UCollator* SharedCollator();

}  // namespace Platform
