// The web page's way into crdview: the card files that the page has put in
// the working directory, named by their bare names, run through crdview's
// own command line with its output kept in memory. What the page shows and
// saves is what crdview writes for the same files and options.
#pragma once

#include <string>
#include <vector>

struct web_request {
    // A --format ("html", "json", "csv", "vcard", "vcard4"), or "pictures":
    // the files --extract writes, in a zip archive.
    std::string format = "html";
    std::string encoding{};  // --encoding; empty: crdview's own choice for the format
    std::string find{};      // --find; empty: every card
    std::string cards{};     // --card; empty: every card
};

struct web_result {
    int status = 0;          // crdview's exit status
    std::string output{};    // its standard output, or the zip archive of the pictures
    std::string messages{};  // its standard error
    int files = 0;           // "pictures": how many files the archive holds
};

// Runs crdview on the card files `names` (in the working directory) as
// `request` asks. "pictures" extracts into `scratch_dir`, which is emptied
// first and left empty after.
[[nodiscard]] web_result run_web(const std::vector<std::string>& names, const web_request& request,
                                 const std::string& scratch_dir);
