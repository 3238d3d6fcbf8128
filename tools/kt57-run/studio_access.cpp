#include "tools/kt57-run/studio_access.h"

namespace kt57 {
namespace {

// Compares in a time that does not depend on where the texts first differ, so the token cannot be
// found a character at a time by timing refusals.
bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

// NAME:PORT for either name of the loopback address.
bool isServerName(std::string_view host, int port) {
    const std::string portText = std::to_string(port);
    for (const std::string_view name : {std::string_view("127.0.0.1"), std::string_view("localhost")}) {
        if (host.size() == name.size() + 1 + portText.size() && host.substr(0, name.size()) == name &&
            host[name.size()] == ':' && host.substr(name.size() + 1) == portText) {
            return true;
        }
    }
    return false;
}

}  // namespace

AccessRefusal refusalOf(const StudioAddress& address, std::string_view path, std::string_view host,
                        std::optional<std::string_view> origin) {
    const std::string prefix = "/" + address.token + "/";
    if (address.token.empty() || !sameText(path.substr(0, prefix.size()), prefix)) return AccessRefusal::Token;
    if (!isServerName(host, address.port)) return AccessRefusal::Host;
    if (origin && !(origin->substr(0, 7) == "http://" && isServerName(origin->substr(7), address.port))) {
        return AccessRefusal::Origin;
    }
    return AccessRefusal::None;
}

std::string pageUrl(const StudioAddress& address) {
    return "http://127.0.0.1:" + std::to_string(address.port) + "/" + address.token + "/";
}

const char* refusalText(AccessRefusal refusal) {
    switch (refusal) {
        case AccessRefusal::None: return "allowed";
        case AccessRefusal::Token: return "refused: the address lacks the rehearsal's token";
        case AccessRefusal::Host: return "refused: the Host is not this server";
        case AccessRefusal::Origin: return "refused: the request comes from another web page";
    }
    return "refused";
}

}  // namespace kt57
