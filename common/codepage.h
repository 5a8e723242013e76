#pragma once

// The single-byte code page behind MakeCode: Windows-1252. Stored passwords and the settings
// section of every installation depend on these codes, so the table must never change.

// The Windows-1252 code of one Unicode code point, or -1 when the code page cannot represent it.
int windows1252Code(char32_t codePoint);

// The code that MakeCode uses for a code point the code page cannot represent: "?".
inline constexpr int kUnrepresentableCode = 63;
