#include "board/names/secret.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <stdexcept>

namespace board::names {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool isSecret(std::string_view text) {
    if (text.size() != SecretCharacters)
        return false;
    for (const char c : text)
        if (std::string_view(Alphabet).find(c) == std::string_view::npos)
            return false;
    return true;
}

std::string newSecret() {
    unsigned char bytes[33] = {}; // a zero byte more fills the last group of six bits
    if (RAND_bytes(bytes, 32) != 1)
        throw std::runtime_error("the system gave no random bytes");
    std::string text;
    for (int i = 0; i < 33; i += 3) {
        const unsigned group = static_cast<unsigned>(bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6)
            text += Alphabet[(group >> k) & 63];
    }
    text.resize(SecretCharacters);
    OPENSSL_cleanse(bytes, sizeof bytes);
    return text;
}

std::string digestOf(std::string_view text) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

bool sameDigest(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string hexBytes(std::string_view bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex = "\\x";
    for (const char c : bytes) {
        hex += Digits[static_cast<unsigned char>(c) >> 4];
        hex += Digits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

std::string fromHexBytes(std::string_view hex) {
    std::string bytes;
    if (hex.substr(0, 2) != "\\x" || hex.size() % 2 != 0)
        return bytes;
    for (std::size_t i = 2; i + 1 < hex.size(); i += 2) {
        const int high = hexValue(hex[i]), low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return {};
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

} // namespace board::names
