// The formats crdview writes, in one table that the command line, the help
// text and the making of a run's writer all read.
#pragma once

#include <array>
#include <cstdio>
#include <string_view>
#include <variant>
#include <vector>

#include "writers/csv.h"
#include "writers/html.h"
#include "writers/json.h"
#include "writers/listing.h"
#include "writers/vcard.h"

// What a format's writer is made with.
struct writer_settings {
    std::FILE* out = stdout;
    bool several = false;           // the run names several files
    bool terminal = false;          // `out` is a terminal and --raw is not given
    const char* extract = nullptr;  // --extract DIR, or nullptr
    bool csv_as_stored = false;     // --csv-as-stored
    // Every file the run names, in order, when there are several (for a
    // writer that lists them first); may be empty.
    const std::vector<const char*>* files = nullptr;
};

// Room for the one writer a run makes, on the stack: making it needs no
// memory of its own, so that a run refused its memory can still say so.
using writer_room = std::variant<std::monostate, listing_writer, json_writer, csv_writer,
                                 html_writer, vcard_writer>;

struct output_format {
    const char* name;  // as --format names it
    const char* help;  // what the help text says of it after its name
    // The texts are shown as stored unless an encoding is asked for (the
    // classic listing); every other format is UTF-8 from the page the texts
    // look like.
    bool stored_by_default;
    card_writer& (*make)(writer_room& room, const writer_settings& settings);
};

// Every format, the default first.
extern const std::array<output_format, 6> OUTPUT_FORMATS;

// The format called `name`; nullptr when none is.
[[nodiscard]] const output_format* format_by_name(std::string_view name);

// Writes the names of the formats: "listing, json, csv" (`last_joint`
// ", ") or "listing (the default), json or csv" (with each one's help, and
// `last_joint` " or ").
void print_format_names(std::FILE* out, bool with_help, const char* last_joint);
