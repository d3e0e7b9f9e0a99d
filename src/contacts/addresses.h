// E-mail and web addresses in the texts of cards.
#pragma once

#include <string_view>
#include <vector>

// The e-mail addresses in `text`: local@domain.tld, each once.
void find_email_addresses(std::string_view text, std::vector<std::string_view>& found);

// The web addresses in `text`: http://..., https://... and www...., each
// once, without the punctuation that ends a sentence.
void find_web_addresses(std::string_view text, std::vector<std::string_view>& found);
