// A player's name as the board judges it: the characters it refuses
// (those that hide, reorder or stack), the scripts it will not mix, and
// the keys under which two names count as one, so that "Ann", "ANN",
// "Ａｎｎ" and a look-alike written in another script are one name.
// Names are still shown exactly as written; only the keys are compared.
#pragma once

#include <string>
#include <string_view>

namespace board::names {

// Why a name (valid UTF-8, trimmed) cannot be a player's, in words that say
// what is wrong; empty when it can.
std::string nameRefusal(std::string_view name);

// Two names are the same when either key is equal:
//   skeleton: NFKC case folding, then the confusable skeleton (UTS #39);
//   look:     the skeleton first, then the same, so that capitals that
//             look alike across scripts ("ΝΕΟ" in Greek, "NEO") stay one
//             name though their small letters differ.
// White space runs count as one space.
struct NameKeys {
    std::string skeleton, look;
};

NameKeys nameKeys(std::string_view name);

} // namespace board::names
