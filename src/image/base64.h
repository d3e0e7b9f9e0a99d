// Base64 (RFC 4648, the standard alphabet, padded with '='), for data: URIs
// and the pictures of vCards.
#pragma once

#include <string>
#include <string_view>

// `bytes` in base64, on one line.
[[nodiscard]] std::string base64_encode(std::string_view bytes);
