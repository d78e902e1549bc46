#pragma once
// The one alphabet: sequence letter to base code, for every reader.

namespace korvane {

constexpr int CODE_UNKNOWN = 0;  // X or N: never pairs
constexpr int CODE_A = 1;
constexpr int CODE_C = 2;
constexpr int CODE_G = 3;
constexpr int CODE_U = 4;
constexpr int NOT_A_LETTER = -1;

// Code of a sequence letter (T reads as U, either case), NOT_A_LETTER for anything else.
int letterCode(char letter);

// The batch reader's letters: those of letterCode except a lower-case 'n'.
bool isBatchLetter(char letter);

inline bool isLowerCaseLetter(char letter) { return letter >= 'a' && letter <= 'z'; }

// Codes a and b (1..4) form a Watson-Crick or G-U pair.
constexpr bool codesPair(int a, int b) {
    const int sum = a + b;
    return (sum == CODE_A + CODE_U || sum == CODE_G + CODE_U) && a != 0 && b != 0;
}

}  // namespace korvane
