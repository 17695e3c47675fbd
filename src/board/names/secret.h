// The board's secrets: player keys (made by the page and the desktop) and
// admin tokens (made here). Both are 32 random bytes written in base64url;
// only their SHA-256 is kept, and digests are compared in constant time.
#pragma once

#include <string>
#include <string_view>

namespace board::names {

constexpr std::size_t SecretCharacters = 43; // 32 bytes in base64url, unpadded

// 43 characters of base64url (A-Z a-z 0-9 - _).
bool isSecret(std::string_view text);
// 32 bytes from the system's random source, in base64url.
std::string newSecret();
// The SHA-256 of text: 32 bytes.
std::string digestOf(std::string_view text);
// Equal digests, in a time that does not depend on where they differ.
bool sameDigest(std::string_view a, std::string_view b);
// bytea's hex form (\x...), for a statement's text parameter, and back.
std::string hexBytes(std::string_view bytes);
std::string fromHexBytes(std::string_view hex);

} // namespace board::names
