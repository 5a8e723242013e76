#pragma once

#include <QString>

// The keyless encoding under which the password is stored and the settings section is named:
// for each character, "l" followed by its Windows-1252 code in decimal, with the capitals A to Z
// folded to lower case. A character the code page cannot represent encodes as "?" (63).
QString MakeCode(const QString &AnyText);

// The same encoding for a folder path, except that the capitals A to Z keep their own codes and
// a character the code page cannot represent encodes as "lu" and its Unicode code point in
// decimal, so that two different paths never give the same code.
QString MakePathCode(const QString &path);
