#pragma once
// Base-32 number text, as the logs write their time stamps: digits "0".."9" then
// "A".."V" (upper case only), most significant first, no leading zeros, "0" for zero,
// "-" before a negative value. Readers give 0 for anything they cannot read.

#include <cstdint>
#include <string>

// With `signedValue`, a negative value (except INT32_MIN) is written as "-" and its
// magnitude; otherwise the 32-bit pattern is written as unsigned (at most 7 digits).
std::string IntToHex32(int32_t value, bool signedValue);
// Optional "-" and 1 to 7 digits; anything else gives 0. Wraps to 32 bits.
int32_t Hex32ToInt(const std::string& text);

// The same for 64 bits (at most 13 digits).
std::string Int64ToHex32(int64_t value, bool signedValue);
int64_t Hex32ToInt64(const std::string& text);

// A double as its 64-bit pattern, so the value comes back bit for bit.
std::string DoubleToHex32(double value);
// 0 when the text cannot be read.
double Hex32ToDouble(const std::string& text);
