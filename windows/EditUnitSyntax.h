// PL/SQL syntax colouring of one editor line: reserved words, numbers, strings and comments.
#pragma once

#include "controls/PTEditStyles.h"

#include <string_view>

// The style indexes the script editor gives, in the order of its text styles (0 is the
// selection and is never given here).
constexpr int ssReservedWord = 1, ssNumber = 2, ssString = 3, ssComment = 4;

// The 184 reserved words, upper case, followed by the four status words of the editor window
// ("Overwrite", "Insert", "Original", "Modified").
inline constexpr int ReservedWordCount = 184;
extern const char *const ReservedWords[ReservedWordCount + 4];

// True when AWord, compared without regard to the case of a to z, is one of the reserved words.
bool IsReservedWord(std::string_view AWord);

// Appends one format record per coloured token of ALine: a reserved word, a word of digits
// only, a string from an apostrophe to the next one (or the line's end), and a "--" comment or
// a line starting with the word REM or REMARK, both to the line's end.
void FormatScriptLine(std::string_view ALine, TFormatList &AList);
