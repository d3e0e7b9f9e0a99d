// What every output of crdview is: a card writer. The walk (walk.h)
// reads each file and calls its writers in turn: begin with the file's
// header, the titles of the cards to come when the writer asks for them, one
// call per listed card, end with the outcome; finish once the last file is
// done. A writer sees records only: it knows nothing of how or
// where the file is read.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "cardfile/reader.h"

// A file as the walk begins it.
struct file_start {
    const char* path = "";
    // CARD_FILE_OK: a card file, `header` read. CARD_FILE_BAD_SIGNATURE: not
    // a card file (header.signature holds its first bytes).
    // CARD_FILE_OPEN_FAILED: it could not be opened or read (`error`).
    card_file_result result = CARD_FILE_OK;
    int error = 0;
    card_file_header header{};
    int encoding = 0;  // the code page the texts are shown in; ENCODING_NONE: as stored
    bool encoding_detected = false;  // chosen by what the texts look like
};

// A file as the walk ends it.
struct file_end {
    // CARD_FILE_OK: every card was read; CARD_FILE_OPEN_FAILED: a read failed
    // on the way (`error`) or the file could not be opened; or
    // CARD_FILE_BAD_SIGNATURE.
    card_file_result result = CARD_FILE_OK;
    int error = 0;
    bool stopped = false;                      // a writer stopped the walk (it could not go on)
    std::vector<std::string> file_problems{};  // what is wrong with the file as a whole
};

// What a writer has besides the record, for one card.
struct card_context {
    card_stream& data;  // to copy pictures and objects out: read_data_block
    // The files written out for this card by the writers before this one
    // (the extractor's names), for the writers after it to mention.
    std::vector<std::string> files{};
};

struct card_writer {
    virtual ~card_writer() = default;
    virtual void begin(const file_start& file) = 0;
    // A writer that lists the titles of a file's cards before the cards says
    // so: after begin, the walk then calls title() for each card it will hand
    // on, in order, before the first card() (the title stays valid for the
    // length of the call).
    [[nodiscard]] virtual bool lists_titles_first() const { return false; }
    virtual void title(int /*number*/, std::string_view /*title*/) {}
    // Returns false when the walk must stop (nothing more can be written).
    virtual bool card(const card_record& card, card_context& context) = 0;
    virtual void end(const file_end& outcome) = 0;
    // After the last file.
    virtual void finish() {}
};

// The writers a walk feeds, in order (the extractor before the format that
// names its files). Held in place: gathering them needs no memory.
struct card_writers {
    std::array<card_writer*, 4> items{};
    std::size_t count = 0;

    card_writers() = default;
    card_writers(std::initializer_list<card_writer*> writers) {
        for (card_writer* writer : writers) {
            add(writer);
        }
    }
    void add(card_writer* writer) {
        if (count < items.size()) {
            items[count++] = writer;
        }
    }
    card_writer* const* begin() const { return items.data(); }
    card_writer* const* end() const { return items.data() + count; }
};
