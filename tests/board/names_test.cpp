// Players' names and the board's secrets, without a database: what a name
// may not hold and why, when two names are one, player keys and admin
// tokens, and what an operator's request may be.
#include "board/api/admin_request.h"
#include "board/api/run_request.h"
#include "board/names/player_name.h"
#include "board/names/secret.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace board::names;
using namespace board::api;

TEST(PlayerName, RefusesWhatHidesReordersOrStacksAndSaysWhat) {
    const struct {
        std::string name, says;
    } refused[] = {
        {"\u202e"
         "Ann",
         "U+202E RIGHT-TO-LEFT OVERRIDE reorders"},
        {"Ann\u061c", "U+061C ARABIC LETTER MARK"},
        {"A\u200enn", "U+200E LEFT-TO-RIGHT MARK"},
        {"An\u2067n", "U+2067"},
        {"A\u200bnn", "invisible or blank characters: U+200B ZERO WIDTH SPACE"},
        {"A\u200dnn", "U+200D ZERO WIDTH JOINER"},
        {"An\u00adn", "U+00AD SOFT HYPHEN"},
        {"Ann\u2060", "U+2060 WORD JOINER"},
        {"An\ufeffn", "U+FEFF"},
        {"\u3164", "U+3164 HANGUL FILLER"},
        {"\u115f"
         "Ann",
         "U+115F"},
        {"Ann\u1160", "U+1160"},
        {"\u2800", "U+2800 BRAILLE PATTERN BLANK"},
        {"Ann\U000E0041", "U+E0041 TAG LATIN CAPITAL LETTER A"},
        {"Ann\u034f", "U+034F COMBINING GRAPHEME JOINER"},
        {"Ann\ufe0f", "U+FE0F"}, // a variation selector after a letter only hides
        {"Ann\ue000", "no agreed meaning"},
        {"Ann\u0378", "no agreed meaning"},
        {"A\u0301\u0302\u0303nn", "more than two combining marks on one letter"},
        {"\u00e9\u0302\u0303", "more than two combining marks"}, // the accent built into é counts
        {"\u0301"
         "Ann",
         "begin with a combining mark"},
        {"cr\u0430sh_speed1", "mix the Latin and Cyrillic scripts"},
        {"\u0391nn", "mix the Greek and Latin scripts"},
        {"12\u0663", "digits of different number systems"},
        {"\U0001F697", "at least one letter or digit"},
        {"_ - _", "at least one letter or digit"},
    };
    for (const auto& c : refused) {
        const std::string why = nameRefusal(c.name);
        EXPECT_NE(why.find(c.says), std::string::npos) << c.name << " -> " << why;
        // Through the request's own check, as a client meets it.
        EXPECT_EQ(checkName(c.name).error, why);
    }
    for (const char* taken : {"Ann", "Zo\u00eb", "Nguy\u1ec5n", "\u5c71\u7530\u305f\u308d\u3046", "Ann Lee",
                              "\u0412\u0430\u0441\u044f", "\u0639\u0644\u064a", "A \U0001F697", "\u2764\ufe0f Ann",
                              "R2-D2", "e\u0301\u0302"})
        EXPECT_EQ(nameRefusal(taken), "") << taken;
}

TEST(PlayerName, LookAlikesAreOneNameAndOthersAreNot) {
    const auto same = [](const std::string& a, const std::string& b) {
        const NameKeys x = nameKeys(a), y = nameKeys(b);
        return x.skeleton == y.skeleton || x.look == y.look;
    };
    for (const char* alike : {"ANN", "ann", "aNn", "\uff21\uff4e\uff4e", "\u0410nn", "\u0391\u039d\u039d",
                              "\U0001D400nn", "A\u200bnn", "Ann"})
        EXPECT_TRUE(same("Ann", alike)) << alike;
    EXPECT_TRUE(same("Bill", "Bi11"));
    EXPECT_TRUE(same("Ann  Lee", "ann lee"));
    EXPECT_TRUE(same("NEO", "\u039d\u0395\u039f")); // Greek capitals
    for (const char* other : {"Anne", "Ann Lee", "An", "\u00c1nn", "Bob"})
        EXPECT_FALSE(same("Ann", other)) << other;
}

TEST(Secret, KeysAndTokensAreRandomHashedAndComparedWhole) {
    std::set<std::string> made;
    for (int i = 0; i < 100; ++i) {
        const std::string secret = newSecret();
        EXPECT_TRUE(isSecret(secret)) << secret;
        made.insert(secret);
    }
    EXPECT_EQ(made.size(), 100u);
    for (const std::string& bad : {std::string(42, 'a'), std::string(44, 'a'), std::string(42, 'a') + "=",
                                   std::string(42, 'a') + "+", std::string(42, 'a') + "/", std::string()})
        EXPECT_FALSE(isSecret(bad)) << bad;
    // SHA-256's own test vector.
    EXPECT_EQ(hexBytes(digestOf("abc")), "\\xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string digest = digestOf("key");
    EXPECT_EQ(fromHexBytes(hexBytes(digest)), digest);
    EXPECT_TRUE(sameDigest(digest, digestOf("key")));
    EXPECT_FALSE(sameDigest(digest, digestOf("kez")));
    EXPECT_FALSE(sameDigest(digest, digest.substr(0, 31)));
    EXPECT_EQ(fromHexBytes("\\xzz"), "");
}

TEST(RunRequest, TakesAPlayerKeyOnlyInItsOwnForm) {
    const std::string key = newSecret();
    const auto body = [](const std::string& extra) {
        return "{\"name\": \"Ann\", \"keys\": \"272 13\\n\"" + extra + "}";
    };
    EXPECT_EQ(parseRunRequest(body(", \"player_key\": \"" + key + "\"")).playerKey, key);
    EXPECT_FALSE(parseRunRequest(body("")).playerKey);
    EXPECT_FALSE(parseRunRequest(body(", \"player_key\": null")).playerKey);
    EXPECT_EQ(parseRunRequest(body(", \"player_key\": null")).error, "");
    for (const std::string& bad : {std::string(", \"player_key\": 5"), std::string(", \"player_key\": \"short\""),
                                   ", \"player_key\": \"" + key + "\", \"player_key\": \"" + key + "\""})
        EXPECT_NE(parseRunRequest(body(bad)).error, "") << bad;
}

TEST(AdminRequest, ReadsThePathTheBodyAndTheToken) {
    EXPECT_EQ(parseAdminPath("/api/admin/runs/42/hide").kind, AdminPath::Hide);
    EXPECT_EQ(parseAdminPath("/api/admin/runs/42/hide").run, 42);
    EXPECT_EQ(parseAdminPath("/api/admin/runs/7/unhide").kind, AdminPath::Unhide);
    EXPECT_EQ(parseAdminPath("/api/admin/names/ban").kind, AdminPath::Ban);
    EXPECT_EQ(parseAdminPath("/api/admin/names/unban").kind, AdminPath::Unban);
    EXPECT_EQ(parseAdminPath("/api/admin/log").kind, AdminPath::Log);
    for (const char* unknown : {"/api/admin/runs/042/hide", "/api/admin/runs/0/hide", "/api/admin/runs/x/hide",
                                "/api/admin/runs/4/show", "/api/admin/runs/4", "/api/admin/log/",
                                "/api/admin/runs/1234567890123456/hide", "/api/admin/names/ban/x"})
        EXPECT_EQ(parseAdminPath(unknown).kind, AdminPath::Unknown) << unknown;

    const AdminBody ban = parseAdminBody(R"({"name": "  Ann ", "reason": " rude ", "x": 1})", true, true);
    EXPECT_EQ(ban.error, "");
    EXPECT_EQ(ban.name, "Ann");
    EXPECT_EQ(ban.reason, "rude");
    const struct {
        std::string body;
        bool name, reason;
        std::string says;
    } bad[] = {
        {"{", false, true, "not valid JSON"},
        {"[]", false, true, "JSON object"},
        {"{}", false, true, "reason must be given"},
        {R"({"reason": 5})", false, true, "reason must be given as a string"},
        {R"({"reason": "  "})", false, true, "1 to 200 characters"},
        {R"({"reason": ")" + std::string(201, 'x') + "\"}", false, true, "1 to 200 characters"},
        {R"({"reason": "a\u0007b"})", false, true, "control characters"},
        {R"({"reason": "a\u0085b"})", false, true, "control characters"},
        {R"({"name": "", "reason": "x"})", true, true, "1 to 24 characters"},
        {R"({"reason": "x"})", true, true, "name must be given"},
    };
    for (const auto& c : bad) {
        const AdminBody parsed = parseAdminBody(c.body, c.name, c.reason);
        EXPECT_NE(parsed.error.find(c.says), std::string::npos) << c.body << " -> " << parsed.error;
    }
    // A name from before today's rules may still be banned.
    EXPECT_EQ(parseAdminBody(R"({"name": "A\u200bnn"})", true, false).error, "");

    EXPECT_EQ(bearerToken("Bearer abc"), "abc");
    EXPECT_EQ(bearerToken("bearer   abc  "), "abc");
    for (const char* none : {"", "Bearer", "Bearer ", "Basic abc", "Bearerabc"})
        EXPECT_FALSE(bearerToken(none)) << none;
}

} // namespace
