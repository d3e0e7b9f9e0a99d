// Pieces of body reading shared by bodies.cpp and ole_object.cpp (private to
// src/cardfile/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "records.h"
#include "stream.h"

// The stored text up to its first NUL, never beyond `size` bytes.
std::string_view stored_text(const unsigned char* bytes, std::size_t size);

// Reads the text of `length` bytes at `position` into body.text, used where
// it lies in the body window; notes a text cut short by the end of the file.
void read_body_text(card_stream& in, std::int64_t position, std::size_t length, card_body& body);

// Reads the text length field at `position` and the text behind it.
void read_counted_text(card_stream& in, std::int64_t position, card_body& body);

// Walks the object of an "RRG" body whose UID is at `position` (its notice
// fields already in body.object), and reads the card's text behind it when
// the object parses; otherwise notes the first rule the object breaks.
void read_object(card_stream& in, std::int64_t position, card_body& body);

// "X of Y bytes", for the problems of things cut short.
std::string bytes_of(std::uint64_t got, std::uint64_t size);
