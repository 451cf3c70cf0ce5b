#include "core/account/AuthURL.h"

#include <algorithm>
#include <cctype>

namespace parlune::auth {
namespace {

// The scheme and the host of an absolute address "scheme://host...", or empty pieces when `url`
// has none.
struct Authority {
    std::string_view scheme;
    std::string_view host;
};

Authority authorityOf(std::string_view url) {
    const auto colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) return {};
    const auto scheme = url.substr(0, colon);
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
    }
    auto rest = url.substr(colon + 1);
    if (!rest.starts_with("//")) return {scheme, {}};
    rest.remove_prefix(2);
    auto host = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (const auto port = host.rfind(':'); port != std::string_view::npos && !host.starts_with('[')) {
        host = host.substr(0, port);
    }
    return {scheme, host};
}

void addPairs(std::string_view text, std::map<std::string, std::string>& into) {
    while (!text.empty()) {
        const auto end = text.find('&');
        const auto pair = text.substr(0, end);
        if (!pair.empty()) {
            const auto equals = pair.find('=');
            auto name = percentDecode(pair.substr(0, equals), true);
            auto value = equals == std::string_view::npos ? std::string() : percentDecode(pair.substr(equals + 1), true);
            into.emplace(std::move(name), std::move(value));  // the first occurrence wins
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool isAuthCallback(std::string_view url) {
    const auto authority = authorityOf(url);
    return authority.scheme == "parlune" && authority.host == "auth";
}

std::map<std::string, std::string> callbackParameters(std::string_view url) {
    std::map<std::string, std::string> parameters;
    const auto hash = url.find('#');
    const auto beforeFragment = url.substr(0, hash);
    if (const auto question = beforeFragment.find('?'); question != std::string_view::npos) {
        addPairs(beforeFragment.substr(question + 1), parameters);
    }
    if (hash != std::string_view::npos) addPairs(url.substr(hash + 1), parameters);
    return parameters;
}

std::string withCredentialsHidden(std::string_view url) {
    static constexpr std::string_view credentials[] = {"code", "access_token", "refresh_token", "provider_token",
                                                       "provider_refresh_token", "code_verifier"};
    const auto start = url.find_first_of("?#");
    if (start == std::string_view::npos) return std::string(url);
    std::string shown(url.substr(0, start + 1));
    std::size_t position = start + 1;
    while (position <= url.size()) {
        auto end = url.find_first_of("&#", position);
        if (end == std::string_view::npos) end = url.size();
        const auto pair = url.substr(position, end - position);
        const auto equals = pair.find('=');
        const auto name = percentDecode(pair.substr(0, equals), true);
        const bool hidden = equals != std::string_view::npos &&
                            std::find(std::begin(credentials), std::end(credentials), name) != std::end(credentials);
        shown += hidden ? std::string(pair.substr(0, equals + 1)) + "<hidden>" : std::string(pair);
        if (end == url.size()) break;
        shown += url[end];
        position = end + 1;
    }
    return shown;
}

std::string percentEncode(std::string_view text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += digits[c >> 4];
            encoded += digits[c & 0x0F];
        }
    }
    return encoded;
}

std::string percentDecode(std::string_view text, bool plusIsBlank) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += (c == '+' && plusIsBlank) ? ' ' : c;
    }
    return decoded;
}

std::string base64Url(std::string_view bytes) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned value = (static_cast<unsigned char>(bytes[i]) << 16) |
                               (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) out += alphabet[(value >> shift) & 0x3F];
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += alphabet[(value >> 18) & 0x3F];
        out += alphabet[(value >> 12) & 0x3F];
        if (left == 2) out += alphabet[(value >> 6) & 0x3F];
    }
    return out;
}

}  // namespace parlune::auth
