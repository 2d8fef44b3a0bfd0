#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A request sent to an instrument before a dump is recorded: one or more SysEx messages
// back to back, each F0, data bytes below 0x80, F7. It is typed as hexadecimal bytes
// ("F0 43 20 09 F7", spaces optional) or read from a .syx file.
class CSysExRequest
{
public:
    enum Problem
    {
        kNoProblem,
        kEmpty,       // no bytes at all
        kNotHex,      // a character that is no hex digit, or half a byte
        kNotFramed,   // does not start with F0 or does not end with F7
        kDataTooHigh, // a byte of 0x80 or above inside a message
        kTooLong,     // more than sm_nMaxSize bytes
    };

    // Parses typed hex: pairs of hex digits, in either case, with spaces, tabs or commas
    // anywhere between pairs. On kNotHex, *pnWhere is the offset of the bad character in
    // the text; on the problems of Check, the offset of the bad byte.
    static Problem ParseHex(const char* pszText, std::vector<unsigned char>* pBytes,
                            size_t* pnWhere);
    // Whether the bytes are a valid request; *pnWhere as above.
    static Problem Check(const std::vector<unsigned char>& bytes, size_t* pnWhere);
    // "F0 43 20 09 F7".
    static std::string ToHex(const std::vector<unsigned char>& bytes);
    // The problem said for the user, from the strings table; nWhere as Check gives it.
    static std::string Describe(Problem problem, size_t nWhere);

    // Requests are short; a file bigger than this is not one.
    static constexpr size_t sm_nMaxSize = 64 * 1024;
};
