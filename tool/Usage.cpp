// The usage screen, printed when the program is started without parameters.
#include <array>
#include <string_view>

#include "tool/Output.h"
#include "tool/TessikEx.h"

namespace {

constexpr std::u16string_view kSeparator =
    u"----------------------------------------------------------";

constexpr std::u16string_view kMakeList[] = {
    kSeparator,
    u"MakeList \"string\"",
    kSeparator,
    u"",
    u"The following switches may be used with this operation:",
    u"",
    u"    /de <option>   Delimiter (Default: Comma & Semi-colon)",
    u"    /sa            Sort Ascending",
    u"    /sd            Sort Descending",
    u"    /od            Omit Duplicate Lines",
    u"    /ob            Omit Blank Lines",
    u"    /olws          Omit Leading Whitespace",
    u"    /otws          Omit Trailing Whitespace",
    u"    /ci            Case Insensitive",
    u"    /q1+           Quote output in single quotes",
    u"    /q2+           Quote output in double quotes",
    u"    /q1-           Strip single quotes from output",
    u"    /q2-           Strip double quotes from output",
    u"    /fo <option>   Format: Option can be List or String",
    u"",
    u"This option allows you to do some string list handling.",
    u"",
    u"For example, you can use it like this with results below:",
    u"",
    u"C:\\MyDir>Tessik MakeList \"1;2;3;4;5;1;2\" /sd /od",
    u"\"5\"",
    u"\"4\"",
    u"\"3\"",
    u"\"2\"",
    u"\"1\"",
    u"",
    u"C:\\MyDir>Tessik MakeList \"d;a;b;c;C;B;A;D\" /sa /od",
    u"\"a\"",
    u"\"A\"",
    u"\"b\"",
    u"\"B\"",
    u"\"c\"",
    u"\"C\"",
    u"\"d\"",
    u"\"D\"",
    u"",
    u"C:\\MyDir>Tessik MakeList \"d;a;b;c;C;B;A;D\" /sa /od /ci",
    u"\"a\"",
    u"\"b\"",
    u"\"c\"",
    u"\"d\"",
    u"",
    u"The following sub-operations may be used as well:",
    u"",
    u"    /prepend \"string\"",
    u"    /append  \"string\"",
    u"    /remove  \"string\"",
    u"    /intrsct \"string\"",
};

constexpr std::u16string_view kRegAdd[] = {
    kSeparator,
    u"RegAdd <KeyName> [ /v <ValueName> | /ve ] [ /t <Type> ] [ /d <Data> ]",
    kSeparator,
    u"",
};

constexpr std::u16string_view kRegDelete[] = {
    kSeparator,
    u"RegDelete <KeyName> [ /v <ValueName> | /ve | /va ]",
    kSeparator,
    u"",
};

constexpr std::u16string_view kPathLine =
    u"\"Path\"\tREG_SZ\t\"C:\\Users\\Public\\Documents\\RAD Studio\\6.0\\Bpl\"";

constexpr std::u16string_view kRegQuery[] = {
    kSeparator,
    u"RegQuery <KeyName> [ /v <ValueName> ]",
    kSeparator,
    u"",
    u"    /fo <option>   Format: List",
    u"",
    u"This option gets information from the registry.",
    u"It separates the output items with a single TAB character.",
    u"If the KeyName parameter is ommitted all values are returned.",
    u"It defaults to the HKEY_CURRENT_USER registry root key.",
    u"",
    u"C:\\MyDir>Tessik RegQuery \"Environment\" \"Path\"",
    kPathLine,
    u"",
    u"C:\\MyDir>Tessik RegQuery \"Environment\"",
    u"\"TMP\"\tREG_EXPAND_SZ\t\"%USERPROFILE%\\AppData\\Local\\Temp\"",
    u"\"TEMP\"\tREG_EXPAND_SZ\t\"%USERPROFILE%\\AppData\\Local\\Temp\"",
    kPathLine,
    u"\"APR_ICONV_PATH\"\tREG_SZ\t\"\"",
    u"",
    u"This can also be used in combination with MakeList.",
    u"This is an example snippet you could have in a batch file.",
    u"",
    u"for /f \"tokens=1-3\" %%a ^",
    u"in ('Tessik RegQuery \"Environment\" \"Path\"') ^",
    u"do Tessik MakeList %%c",
    u"",
    u"This gives you a listing of all your user Path entries.",
    u"",
    u"Another way to accomplish this is to use the List format.",
    u"",
    u"C:\\MyDir>Tessik RegQuery \"Environment\" \"Path\" /fo List",
    u"",
};

constexpr std::u16string_view kSettingsChanged[] = {
    kSeparator,
    u"SettingsChanged",
    kSeparator,
    u"",
    u"Call this to announce that the system settings have changed.",
    u"This is useful for when a system environment variable was changed.",
};

template <size_t N>
void WriteLines(const std::u16string_view (&lines)[N]) {
  for (auto line : lines)
    WriteLine(line);
}

}  // namespace

void ShowUsage() {
  for (int code = 0; code <= 9; ++code) {
    switch (static_cast<TOperationCode>(code)) {
      case TOperationCode::MakeList:
        WriteLines(kMakeList);
        break;
      case TOperationCode::RegAdd:
        WriteLines(kRegAdd);
        break;
      case TOperationCode::RegDelete:
        WriteLines(kRegDelete);
        break;
      case TOperationCode::RegQuery:
        WriteLines(kRegQuery);
        break;
      case TOperationCode::SettingsChanged:
        WriteLines(kSettingsChanged);
        break;
      default:
        break;
    }
  }
}
