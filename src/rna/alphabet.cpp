#include "rna/alphabet.h"

#include <array>

namespace korvane {

namespace {

constexpr auto LETTER_CODES = [] {
    std::array<signed char, 256> codes{};
    codes.fill(NOT_A_LETTER);
    auto set = [&](char upper, int code) {
        codes[static_cast<unsigned char>(upper)] = static_cast<signed char>(code);
        codes[static_cast<unsigned char>(upper - 'A' + 'a')] = static_cast<signed char>(code);
    };
    set('A', CODE_A);
    set('C', CODE_C);
    set('G', CODE_G);
    set('U', CODE_U);
    set('T', CODE_U);
    set('X', CODE_UNKNOWN);
    set('N', CODE_UNKNOWN);
    return codes;
}();

}  // namespace

int letterCode(char letter) { return LETTER_CODES[static_cast<unsigned char>(letter)]; }

bool isBatchLetter(char letter) { return letter != 'n' && letterCode(letter) != NOT_A_LETTER; }

}  // namespace korvane
