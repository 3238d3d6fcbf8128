// Who may use the rehearsal page's server. It listens on 127.0.0.1 alone, but every program of
// every user on the machine can reach that address, and so can any web page the user's browser
// shows. So every request must
//   - begin its path with /TOKEN/, the random token of the address printed to the user alone;
//   - name the server as its Host, 127.0.0.1:PORT or localhost:PORT, so that a foreign name that
//     a web page made resolve to 127.0.0.1 (DNS rebinding) is refused;
//   - carry no Origin but the page's own. Browsers send one with every cross-origin request, so
//     another page cannot drive the server even by guessing; the page's own requests and tools
//     such as curl send none.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace kt57 {

enum class AccessRefusal { None, Token, Host, Origin };

struct StudioAddress {
    std::string token;
    int port = 0;
};

// Why a request must be refused, or None. origin is absent when the request carries none.
AccessRefusal refusalOf(const StudioAddress& address, std::string_view path, std::string_view host,
                        std::optional<std::string_view> origin);

// The page's own address: http://127.0.0.1:PORT/TOKEN/
std::string pageUrl(const StudioAddress& address);

// A short English reason for the refusal's 403 answer.
const char* refusalText(AccessRefusal refusal);

}  // namespace kt57
