#include "board/names/player_name.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>
#include <unicode/uspoof.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace board::names {

namespace {

constexpr int MostMarksOnALetter = 2;

// ICU's parts, made once: a spoof checker is safe to share between
// threads once it is set up.
struct Unicode {
    USpoofChecker* checker = nullptr;
    const icu::Normalizer2* caseFold = nullptr; // NFKC case folding
    const icu::Normalizer2* decompose = nullptr;

    Unicode() {
        UErrorCode status = U_ZERO_ERROR;
        checker = uspoof_open(&status);
        uspoof_setChecks(checker, USPOOF_RESTRICTION_LEVEL | USPOOF_INVISIBLE | USPOOF_MIXED_NUMBERS, &status);
        // One script, or Latin with one more that does not look like it
        // (so not Cyrillic nor Greek); Japanese, Chinese and Korean mixes.
        uspoof_setRestrictionLevel(checker, USPOOF_MODERATELY_RESTRICTIVE);
        caseFold = icu::Normalizer2::getNFKCCasefoldInstance(status);
        decompose = icu::Normalizer2::getNFDInstance(status);
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("ICU cannot judge names: ") + u_errorName(status));
    }
};

const Unicode& unicode() {
    static const Unicode parts;
    return parts;
}

// "U+202E RIGHT-TO-LEFT OVERRIDE"
std::string described(UChar32 c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    char name[128] = "";
    UErrorCode status = U_ZERO_ERROR;
    u_charName(c, U_UNICODE_CHAR_NAME, name, sizeof name, &status);
    return U_SUCCESS(status) && name[0] != '\0' ? std::string(code) + " " + name : code;
}

bool reordersText(UChar32 c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool isVariationSelector(UChar32 c) { return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF); }

// What shows nothing, or a blank that is not a space: every
// default-ignorable character (zero-width spaces and joiners, the soft
// hyphen, word joiners, fillers, tags...) and the braille blank.
bool isInvisible(UChar32 c) {
    return c == 0x00AD || c == 0x115F || c == 0x1160 || (c >= 0x200B && c <= 0x200D) || c == 0x2060 ||
           c == 0x2800 || c == 0x3164 || c == 0xFEFF || (c >= 0xE0000 && c <= 0xE007F) ||
           u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

bool isMark(UChar32 c) {
    const int8_t type = u_charType(c);
    return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK;
}

bool isLetterOrDigit(UChar32 c) {
    const int8_t type = u_charType(c);
    return (type >= U_UPPERCASE_LETTER && type <= U_OTHER_LETTER) ||
           (type >= U_DECIMAL_DIGIT_NUMBER && type <= U_OTHER_NUMBER);
}

std::vector<UChar32> points(const icu::UnicodeString& text) {
    std::vector<UChar32> out;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
        out.push_back(text.char32At(i));
    return out;
}

std::string characterRefusal(const std::vector<UChar32>& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const UChar32 c = name[i];
        if (reordersText(c))
            return "name may not contain control characters: " + described(c) + " reorders the text around it";
        // A variation selector picks how a symbol is drawn (an emoji's
        // colours); after a letter it only hides.
        if (isVariationSelector(c) && i > 0 && !isLetterOrDigit(name[i - 1]) && !isMark(name[i - 1]) &&
            !isVariationSelector(name[i - 1]) && !u_isUWhiteSpace(name[i - 1]))
            continue;
        if (isInvisible(c))
            return "name may not contain invisible or blank characters: " + described(c);
        const int8_t type = u_charType(c);
        if (type == U_UNASSIGNED || type == U_PRIVATE_USE_CHAR)
            return "name may not contain " + described(c) + ", which has no agreed meaning or picture";
    }
    return {};
}

// Counted on the name taken apart, so that a letter with its accent
// built in counts that accent.
std::string markRefusal(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    const std::vector<UChar32> apart = points(unicode().decompose->normalize(text, status));
    int marks = 0;
    UChar32 base = -1;
    for (const UChar32 c : apart) {
        if (!isMark(c)) {
            base = c;
            marks = 0;
            continue;
        }
        if (base < 0)
            return "name may not begin with a combining mark: " + described(c);
        if (++marks > MostMarksOnALetter)
            return "name may not put more than two combining marks on one letter";
    }
    return {};
}

// "the Latin and Cyrillic scripts"
std::string scriptsOf(const std::vector<UChar32>& name) {
    std::vector<std::string> seen;
    for (const UChar32 c : name) {
        UErrorCode status = U_ZERO_ERROR;
        const UScriptCode script = uscript_getScript(c, &status);
        if (U_FAILURE(status) || script == USCRIPT_COMMON || script == USCRIPT_INHERITED)
            continue;
        const std::string scriptName = uscript_getName(script);
        if (std::find(seen.begin(), seen.end(), scriptName) == seen.end())
            seen.push_back(scriptName);
    }
    std::string text = "the ";
    for (std::size_t i = 0; i < seen.size(); ++i)
        text += (i == 0 ? "" : i + 1 == seen.size() ? " and " : ", ") + seen[i];
    return text + " scripts";
}

std::string spoofRefusal(std::string_view name, const std::vector<UChar32>& points) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t flags =
        uspoof_check2UTF8(unicode().checker, name.data(), static_cast<int32_t>(name.size()), nullptr, &status);
    if (U_FAILURE(status))
        return "name cannot be read as Unicode text";
    if ((flags & USPOOF_RESTRICTION_LEVEL) != 0)
        return "name may not mix " + scriptsOf(points) + ", whose letters look alike";
    if ((flags & USPOOF_MIXED_NUMBERS) != 0)
        return "name may not mix digits of different number systems";
    if ((flags & USPOOF_INVISIBLE) != 0)
        return "name may not repeat a combining mark on one letter";
    return {};
}

// Runs of white space as one space.
icu::UnicodeString oneSpace(const icu::UnicodeString& text) {
    icu::UnicodeString out;
    bool space = false;
    for (const UChar32 c : points(text)) {
        if (u_isUWhiteSpace(c)) {
            space = true;
            continue;
        }
        if (space && !out.isEmpty())
            out.append(static_cast<UChar32>(' '));
        space = false;
        out.append(c);
    }
    return out;
}

icu::UnicodeString folded(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    return oneSpace(unicode().caseFold->normalize(text, status));
}

icu::UnicodeString skeletonOf(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString skeleton;
    uspoof_getSkeletonUnicodeString(unicode().checker, 0, text, skeleton, &status);
    return U_SUCCESS(status) ? oneSpace(skeleton) : text;
}

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace

std::string nameRefusal(std::string_view name) {
    const icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
    const std::vector<UChar32> chars = points(text);
    std::string why = characterRefusal(chars);
    if (why.empty())
        why = markRefusal(text);
    if (why.empty())
        why = spoofRefusal(name, chars);
    if (why.empty() && std::none_of(chars.begin(), chars.end(), isLetterOrDigit))
        why = "name must show at least one letter or digit";
    return why;
}

NameKeys nameKeys(std::string_view name) {
    const icu::UnicodeString text =
        icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
    return {utf8(skeletonOf(folded(text))), utf8(skeletonOf(folded(skeletonOf(text))))};
}

} // namespace board::names
