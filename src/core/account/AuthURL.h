#pragma once

#include <map>
#include <string>
#include <string_view>

namespace parlune::auth {

// The address the backend sends the browser back to after a sign-in.
inline constexpr std::string_view callbackURL = "parlune://auth/callback";

// True when `url` has the scheme "parlune" and the host "auth", both exactly (case-sensitive);
// path, query and fragment are not looked at. A text without scheme or host is no callback.
bool isAuthCallback(std::string_view url);

// The parameters of a callback address: its query and its fragment ("#a=b"), percent-decoded and
// with "+" read as a blank; a name in both keeps the query's value.
std::map<std::string, std::string> callbackParameters(std::string_view url);

// `url` with the values of the parameters that carry a credential (the one-time sign-in code and any
// token) in its query and fragment replaced by "<hidden>", for log lines; the rest is unchanged.
std::string withCredentialsHidden(std::string_view url);

// Percent-encoding of everything but the unreserved characters (A-Z a-z 0-9 - . _ ~).
std::string percentEncode(std::string_view text);
std::string percentDecode(std::string_view text, bool plusIsBlank);

// Base64url without padding, as proof keys are written.
std::string base64Url(std::string_view bytes);

}  // namespace parlune::auth
