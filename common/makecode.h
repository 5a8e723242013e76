#pragma once

#include <QString>

// The keyless encoding under which the password is stored and the settings section is named:
// for each character, "l" followed by its Windows-1252 code in decimal, with the capitals A to Z
// folded to lower case. A character the code page cannot represent encodes as "?" (63).
QString MakeCode(const QString &AnyText);

// The same encoding for a folder path, except that a character the code page cannot represent
// encodes as "lu" and its Unicode code point in decimal, so that two paths give the same code
// only when they differ in the case of A to Z alone.
QString MakePathCode(const QString &path);
