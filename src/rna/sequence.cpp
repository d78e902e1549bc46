#include "rna/sequence.h"

#include <stdexcept>

#include "rna/alphabet.h"

namespace korvane {

rnaSequence makeSequence(std::string title, std::string letters) {
    rnaSequence sequence;
    sequence.codes.assign(letters.size() + 1, CODE_UNKNOWN);
    for (size_t p = 0; p < letters.size(); ++p) {
        const int code = letterCode(letters[p]);
        if (code == NOT_A_LETTER) {
            const auto byte = static_cast<unsigned char>(letters[p]);
            std::string shown = byte > ' ' && byte < 0x7F ? std::string("'") + letters[p] + "'"
                                                          : "byte " + std::to_string(byte);
            throw std::invalid_argument("position " + std::to_string(p + 1) + ": " + shown +
                                        " is not a sequence letter");
        }
        sequence.codes[p + 1] = code;
    }
    sequence.title = std::move(title);
    sequence.letters = std::move(letters);
    return sequence;
}

}  // namespace korvane
