// The command line: the options record, parameter lifting and GetParam.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/QO_StringList.h"

/// The options record filled from the switches; passed by value to the drivers.
struct TSwitchInfo {
  bool SFlag = false;
  std::u16string FormatMode;
  std::u16string EncValue;
  std::u16string EscValue;
  bool OmitDuplicates = false;
  bool OmitBlanks = false;
  bool OmitLeadingWhitespace = false;
  bool OmitTrailingWhitespace = false;
  int16_t SortOrder = 0;
  bool CaseInsensitive = false;
  std::u16string Delimiter = u";,";
  int32_t QuoteMode = 0;
  std::u16string PrependText;
  std::u16string AppendText;
  std::u16string IntersectText;
  std::u16string RemoveText;
  std::u16string ValueName;
  bool DefaultValue = false;
  bool AllValues = false;
  std::u16string ValueType;
  std::u16string ValueData;
  // The safety net of the operations that change the registry (not in the usage screen).
  bool DryRun = false;                     // "/dryrun": print the changes, make none
  bool IgnoreIde = false;                  // "/ignoreide": change a running IDE's settings
  std::optional<std::u16string> UndoFile;  // "/undo" value: the file that reverts the run
};

/// Reads the parameter at `index` and removes it: a double-quoted one without its quotes,
/// "/file" followed by a file name as the file's lines joined with the first character of
/// `delimiter`. An index outside the list gives the empty text and changes nothing.
std::u16string GetParam(int index, TStringList& list, const std::u16string& delimiter);

/// Splits a raw command line into parameters (quote characters stay in the items).
void SplitCommandLine(std::u16string_view commandLine, TStringList& params);

/// Lifts every recognised switch (with its value) out of `params` into `switches`; the
/// positional parameters stay, double-quoted ones without their quotes.
void LiftSwitches(TStringList& params, TSwitchInfo& switches);
