#include "platform/posix/collation/Collator.h"

#include <cstring>
#include <string>
#include <utility>

#include "platform/Errors.h"
#include "platform/posix/collation/CollationLocale.h"
#include "platform/posix/collation/CollatorImage.h"
#include "platform/posix/collation/Tailoring.h"

namespace Platform {
namespace {

using Icu::Api;

// A locale whose collation is ICU's root order can use the prebuilt image.
bool FollowsRootOrder(const Api& icu, const std::string& locale) {
  if (locale.empty()) return true;
  char equivalent[ULOC_FULLNAME_CAPACITY] = {};
  UBool available = false;
  UErrorCode status = U_ZERO_ERROR;
  icu.ucol_getFunctionalEquivalent(equivalent, sizeof equivalent, "collation", locale.c_str(),
                                   &available, &status);
  return U_FAILURE(status) || std::strcmp(equivalent, "root") == 0;
}

// Opening the image takes microseconds, against about 20 ms for building from rules.
UCollator* OpenImage(const Api& icu) {
  // The image holds only the tailoring; root supplies the rest and must stay open.
  static UCollator* const root = [&icu] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* opened = icu.ucol_open("", &status);
    return U_SUCCESS(status) ? opened : nullptr;
  }();
  if (!root) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator =
      icu.ucol_openBinary(kCollatorImage, static_cast<int32_t>(kCollatorImageSize), root, &status);
  if (U_FAILURE(status)) {
    if (collator) icu.ucol_close(collator);
    return nullptr;
  }
  return collator;
}

// For a locale with its own tailoring: ours first, so that the locale's rules (for
// instance Swedish letters after z) override ours where both speak.
UCollator* OpenFromRules(const Api& icu, const std::string& locale) {
  std::u16string rules(kTailoringRules);
  UErrorCode status = U_ZERO_ERROR;
  if (!locale.empty()) {
    UCollator* own = icu.ucol_open(locale.c_str(), &status);
    if (U_FAILURE(status)) return nullptr;
    int32_t length = 0;
    const UChar* ownRules = icu.ucol_getRules(own, &length);
    rules.append(ownRules, static_cast<std::size_t>(length));
    icu.ucol_close(own);
  }
  UParseError where{};
  UCollator* collator = icu.ucol_openRules(rules.data(), static_cast<int32_t>(rules.size()),
                                           UCOL_DEFAULT, UCOL_DEFAULT_STRENGTH, &where, &status);
  if (U_FAILURE(status)) {
    if (collator) icu.ucol_close(collator);
    return nullptr;
  }
  return collator;
}

[[noreturn]] void FailToConfigure(const Api& icu, UErrorCode status) {
  std::string name = icu.u_errorName(status);
  throw Exception(u"Cannot configure the ICU collator: " +
                  std::u16string(name.begin(), name.end()));
}

// The same settings whatever the locale's own: Windows has no upper-case-first,
// French accent order or numeric ordering in its default comparison, and it keeps its
// one order of scripts (Latin, Greek, Cyrillic...) in every language, where a locale
// such as Russian or Greek would move its own script first.
void Configure(const Api& icu, UCollator* collator) {
  const std::pair<UColAttribute, UColAttributeValue> settings[] = {
      {UCOL_STRENGTH, UCOL_TERTIARY},     {UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE},
      {UCOL_CASE_FIRST, UCOL_OFF},        {UCOL_CASE_LEVEL, UCOL_OFF},
      {UCOL_FRENCH_COLLATION, UCOL_OFF},  {UCOL_NUMERIC_COLLATION, UCOL_OFF},
      {UCOL_NORMALIZATION_MODE, UCOL_ON},
  };
  for (const auto& [attribute, value] : settings) {
    UErrorCode status = U_ZERO_ERROR;
    icu.ucol_setAttribute(collator, attribute, value, &status);
    if (U_FAILURE(status)) FailToConfigure(icu, status);
  }
  // No reordering at all; the locale's letters and their rules stay as they are.
  UErrorCode status = U_ZERO_ERROR;
  icu.ucol_setReorderCodes(collator, nullptr, 0, &status);
  if (U_FAILURE(status)) FailToConfigure(icu, status);
}

UCollator* Open() {
  const Api& icu = Icu::Functions();
  std::string locale = CollationLocaleIdFromEnvironment();
  UCollator* collator = nullptr;
  if (FollowsRootOrder(icu, locale)) collator = OpenImage(icu);
  if (!collator) collator = OpenFromRules(icu, locale);
  // A locale whose rules do not combine with ours still gets the Windows-like order.
  if (!collator) collator = OpenImage(icu);
  if (!collator) collator = OpenFromRules(icu, std::string());
  if (!collator) throw Exception(u"Cannot open an ICU collator");
  Configure(icu, collator);
  return collator;
}

}  // namespace

const UCollator* SharedCollator() {
  static const UCollator* const collator = Open();
  return collator;
}

}  // namespace Platform
