// The tailored collator in ICU's binary form, generated at build time by
// MakeCollatorImage (ucol_cloneBinary of kTailoringRules over ICU's root).
#pragma once

#include <cstddef>

namespace Platform {

extern const unsigned char kCollatorImage[];
extern const std::size_t kCollatorImageSize;

}  // namespace Platform
