// A throwaway Wine prefix for the cross-checks: a copy of the test suite's shared prefix
// (its registry files copied, the large drive_c hard-linked), removed at the end.
#pragma once

#include <string>
#include <vector>

#include "tests/support/TestProcess.h"

class TWinePrefix {
 public:
  TWinePrefix();
  ~TWinePrefix();

  const std::string& Path() const { return folder_.Path(); }
  /// Runs a program (wine ...) with this prefix.
  TRunResult Run(const std::vector<std::string>& argv, const std::string& input = "") const;
  /// Stops the prefix's wineserver, which writes its registry to the files.
  void StopServer() const;
  /// Replaces the prefix's user.reg and system.reg with those of another folder.
  void CopyRegistryFrom(const std::string& folder) const;

 private:
  TTempFolder folder_;
};
