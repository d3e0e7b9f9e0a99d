#include "cli/cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "card_builder.h"

using namespace card_builder;

namespace {

// The help text as the golden case holds it, with `name` for the program.
std::string help_for(const std::string& name) {
    const file_ptr golden(std::fopen(CRDVIEW_SOURCE_DIR "/tests/golden/cases/help_long.out", "rb"));
    std::string help = golden ? contents(golden.get()) : "(no golden help text)";
    for (const std::string place : {"\n\ncrdview [OPTION]", "\n  crdview -e "}) {
        const std::size_t at = help.find(place);
        if (at != std::string::npos) {
            help.replace(at + place.find("crdview"), 7, name);
        }
    }
    return help;
}

std::string help_output(const char* program_path) {
    const file_ptr out = output_stream();
    if (!out) {
        return "no stream";
    }
    print_help(program_path, out.get());
    return contents(out.get());
}

struct run_result {
    int status;
    std::string output;
};

// Runs crdview on `args`, the program's name first; argv ends with a null
// pointer, as the one main receives does.
run_result run(std::vector<const char*> args) {
    const int argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    const file_ptr out = output_stream();
    if (!out) {
        return {-1, "no stream"};
    }
    const int status = run_crdview(argc, args.data(), out.get());
    return {status, contents(out.get())};
}

}  // namespace

TEST(PrintHelp, ShowsTheBaseNameInBothPlaces) {
    EXPECT_EQ(help_output("/usr/local/bin/viewer"), help_for("viewer"));
    EXPECT_EQ(help_output("D:\\bin\\viewer.exe"), help_for("viewer.exe"));
    // A '/' is looked for first; the backslashes before it are not.
    EXPECT_EQ(help_output("D:\\tools/bin\\viewer.exe"), help_for("bin\\viewer.exe"));
    EXPECT_EQ(help_output("viewer"), help_for("viewer"));
    EXPECT_EQ(help_output("./"), help_for(""));
}

TEST(PrintHelp, NoProgramNameShowsCrdview) {
    EXPECT_EQ(help_output(nullptr), help_for("crdview"));
    EXPECT_EQ(help_output(""), help_for("crdview"));
}

TEST(RunCrdview, NoFileToListPrintsTheHelpAndExits2) {
    const run_result none = run({"/opt/viewer"});
    EXPECT_EQ(none.status, EXIT_USAGE);
    EXPECT_EQ(none.output, help_for("viewer"));
    EXPECT_EQ(run({"viewer", "-e", "f.crd"}).status, EXIT_USAGE);
    // Every other word is a file: these are listed (and found missing).
    EXPECT_EQ(run({"viewer", "-e", "Windows-1251", "f.crd", "g.crd"}).status, EXIT_NOT_LISTED);
    EXPECT_EQ(run({"viewer", "a", "b", "c", "d", "e"}).status, EXIT_NOT_LISTED);
    // No argument vector at all, or an empty program name.
    const run_result nameless = run({});
    EXPECT_EQ(nameless.status, EXIT_USAGE);
    EXPECT_EQ(nameless.output, help_for("crdview"));
    EXPECT_EQ(run({""}).output, help_for("crdview"));
}

TEST(RunCrdview, ExitStatusFollowsTheListing) {
    const scratch_file card_file("crdview_unit_cli.crd",
                                 mgc_header(1) + index_entry(57, "Alpha") + mgc_body("Hello"));
    const scratch_file other_file("crdview_unit_cli_other.crd", "MGc\x01\x00");
    EXPECT_EQ(run({"crdview", card_file.path.c_str()}).status, EXIT_LISTED);
    EXPECT_EQ(run({"crdview", "-e", "Windows-1251", card_file.path.c_str()}).status, EXIT_LISTED);
    EXPECT_EQ(run({"crdview", "-x", "y", card_file.path.c_str()}).status, EXIT_LISTED);
    EXPECT_EQ(run({"crdview", other_file.path.c_str()}).status, EXIT_NOT_LISTED);
    const run_result missing = run({"crdview", "crdview_unit_missing.crd"});
    EXPECT_EQ(missing.status, EXIT_NOT_LISTED);
    EXPECT_EQ(missing.output,
              "\nWindows Card File crdview_unit_missing.crd\nError reading file.\n\n");
}
