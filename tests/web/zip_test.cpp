// The zip writer's limits: an archive without the 64-bit extension holds at
// most 65,535 entries, and one more is refused rather than written wrong.
// (What the archives hold is read back by Python's zipfile in
// check_web_run.py.)
#include "web/zip.h"

#include <gtest/gtest.h>

TEST(Zip, EmptyArchiveIsTheEndRecordAlone) {
    zip_writer zip;
    const std::string archive = finish_zip(zip);
    EXPECT_EQ(archive, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST(Zip, RefusesMoreEntriesThanTheEndRecordCounts) {
    zip_writer zip;
    for (std::size_t i = 0; i < ZIP_MAX_ENTRIES; ++i) {
        ASSERT_TRUE(add_zip_entry(zip, "f", ""));
    }
    EXPECT_FALSE(add_zip_entry(zip, "one too many", "x"));
    EXPECT_TRUE(zip.too_large);
    EXPECT_FALSE(add_zip_entry(zip, "f", ""));
    EXPECT_EQ(finish_zip(zip), "");
}
